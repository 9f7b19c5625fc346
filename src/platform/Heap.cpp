#include "platform/Heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace quillon::platform {

size_t PrepareHeapForLargeLoads(size_t reserve)
{
    constexpr size_t kHugePage = size_t{2} << 20;
    constexpr size_t kBlock = size_t{16} << 20;  // below the mapping threshold: comes from the heap
    // Blocks up to 32 MB come from the heap; free space at its top is kept up to the reserve and
    // a margin, so the advised range is not given back between loads.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(reserve + (size_t{64} << 20)));
    mallopt(M_TOP_PAD, 16 << 20);

    const auto before = reinterpret_cast<uintptr_t>(sbrk(0));
    // The list of blocks stays off the heap: nothing else may be allocated in the range.
    void* blocks[64];
    size_t count = 0;
    for (size_t grown = 0; grown < reserve && count < std::size(blocks); grown += kBlock)
        if (void* block = malloc(kBlock))
            blocks[count++] = block;
    const auto after = reinterpret_cast<uintptr_t>(sbrk(0));
    // Freed in reverse they join the heap's top again, still mapped.
    while (count > 0)
        free(blocks[--count]);
    if (before == static_cast<uintptr_t>(-1) || after == static_cast<uintptr_t>(-1))
        return 0;
    const uintptr_t start = (before + kHugePage - 1) & ~(kHugePage - 1);
    if (after <= start)  // the blocks did not come from the heap
        return 0;
    if (madvise(reinterpret_cast<void*>(start), after - start, MADV_HUGEPAGE) != 0)
        return 0;
    // Growing and freeing the blocks wrote a header at the start of each; left resident, the
    // kernel would make each of those pages a whole huge page. The heap's free top keeps its own
    // header at or below `start`, in the page that stays.
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t dropFrom = start + page;
    const uintptr_t dropTo = after & ~(page - 1);
    if (dropTo > dropFrom)
        madvise(reinterpret_cast<void*>(dropFrom), dropTo - dropFrom, MADV_DONTNEED);
    return after - start;
}

void ReturnFreeHeapPages()
{
    // The pad keeps the heap's top where it is, so the range readied for loads stays.
    malloc_trim(size_t{512} << 20);
}

void ReturnHeapTopPages()
{
    // The free space at the top of this thread's heap is taken a piece at a time (no other
    // thread can be using it meanwhile), its pages given back, and the pieces freed again.
    constexpr size_t kPiece = size_t{16} << 20;  // below the mapping threshold: from the heap
    constexpr size_t kLeast = size_t{1} << 20;
    // Whole huge pages only: one given back in part would leave the rest of its range to come
    // back a small page at a time.
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    void* pieces[64];
    size_t count = 0;
    size_t top = mallinfo2().keepcost;
    while (top > 2 * kLeast && count < std::size(pieces)) {
        const size_t size = std::min(kPiece, top - kLeast);
        void* piece = malloc(size);
        if (!piece)
            break;
        pieces[count++] = piece;
        const uintptr_t from = (reinterpret_cast<uintptr_t>(piece) + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t to = (reinterpret_cast<uintptr_t>(piece) + size) & ~(kHuge - 1);
        if (to > from)
            madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        top -= std::min(top, size);
    }
    while (count > 0)
        free(pieces[--count]);
}

void* MapAlignedBlocks(size_t count, size_t size, bool hugePages)
{
    // One block more than asked is mapped and what lies outside the aligned range given back.
    const size_t bytes = count * size;
    void* mapped =
        mmap(nullptr, bytes + size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + size - 1) & ~(static_cast<uintptr_t>(size) - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (const uintptr_t tail = start + bytes + size - (aligned + bytes); tail > 0)
        munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    void* blocks = reinterpret_cast<void*>(aligned);
    if (hugePages)
        madvise(blocks, bytes, MADV_HUGEPAGE);  // a hint: without it the blocks still serve
    return blocks;
}

void* MapAlignedBlock(size_t size, bool hugePages)
{
    return MapAlignedBlocks(1, size, hugePages);
}

bool Populate(void* at, size_t size)
{
#ifdef MADV_POPULATE_WRITE
    return madvise(at, size, MADV_POPULATE_WRITE) == 0;
#else
    (void)at, (void)size;
    return false;
#endif
}

void UnmapBlock(void* block, size_t size)
{
    if (block)
        munmap(block, size);
}

}  // namespace quillon::platform
