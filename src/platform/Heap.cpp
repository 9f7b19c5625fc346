#include "platform/Heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <thread>

#include "platform/Background.h"

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
    // From here on a block of a megabyte or more that the heap's free space cannot hold is mapped
    // apart, so that freeing it gives its memory back at once rather than growing the heap.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
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

void* MapAlignedBlock(size_t size, bool hugePages)
{
    // Twice the size is mapped and what lies outside the aligned middle given back at once.
    void* mapped =
        mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + size - 1) & ~(static_cast<uintptr_t>(size) - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (const uintptr_t tail = start + 2 * size - (aligned + size); tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* block = reinterpret_cast<void*>(aligned);
    if (hugePages)
        madvise(block, size, MADV_HUGEPAGE);  // a hint: without it the block still serves
    return block;
}

std::vector<void*> MapTouchedBlocks(size_t count, size_t size)
{
    std::vector<void*> blocks;
    for (size_t i = 0; i < count; ++i) {
        void* block = MapAlignedBlock(size, true);
        if (!block)
            break;
        blocks.push_back(block);
    }
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const auto touch = [&blocks, size, page](size_t first, size_t step) {
        for (size_t b = first; b < blocks.size(); b += step)
            for (size_t at = 0; at < size; at += page)
                static_cast<volatile char*>(blocks[b])[at] = 0;
    };
    const size_t threads = std::min(CoreCount(), blocks.size());
    std::vector<std::thread> crew;
    for (size_t t = 1; t < threads; ++t)
        crew.emplace_back(touch, t, threads);
    touch(0, std::max<size_t>(threads, 1));
    for (std::thread& t : crew)
        t.join();
    return blocks;
}

void UnmapBlock(void* block, size_t size)
{
    if (block)
        munmap(block, size);
}

}  // namespace quillon::platform
