#include "platform/Heap.h"

#include "platform/Background.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <utility>
#include <vector>

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

namespace {

// Blocks given back are kept for the next copies, at most two: a fresh block costs the kernel
// clearing every page of it, which at hundreds of megabytes is most of a copy's time. The kernel
// may still take their pages back when it runs short (MADV_FREE).
struct SpareBlocks {
    std::mutex mutex;
    std::vector<std::pair<char*, size_t>> blocks;
};

SpareBlocks& Spares()
{
    static SpareBlocks* spares = new SpareBlocks;  // never destroyed: blocks may go back late
    return *spares;
}

constexpr size_t kKeptSpares = 2;

}  // namespace

void LargeBlockRelease::operator()(char* block) const
{
    if (!block)
        return;
    SpareBlocks& spares = Spares();
    std::pair<char*, size_t> dropped{block, size};
    {
        const std::lock_guard<std::mutex> lock(spares.mutex);
        if (spares.blocks.size() < kKeptSpares) {
            madvise(block, size, MADV_FREE);
            spares.blocks.emplace_back(block, size);
            return;
        }
        // The smallest of them all goes.
        auto smallest = std::min_element(spares.blocks.begin(), spares.blocks.end(),
                                         [](const auto& a, const auto& b) { return a.second < b.second; });
        if (smallest->second < size) {
            madvise(block, size, MADV_FREE);
            std::swap(*smallest, dropped);
        }
    }
    munmap(dropped.first, dropped.second);
}

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t MappedSize(size_t size)
{
    return std::max(kHugePage, (size + kHugePage - 1) & ~(kHugePage - 1));
}

}  // namespace

void ReadyLargeBlock(size_t size)
{
    const size_t mapped = MappedSize(size);
    {
        SpareBlocks& spares = Spares();
        const std::lock_guard<std::mutex> lock(spares.mutex);
        for (const auto& [block, blockSize] : spares.blocks)
            if (blockSize >= mapped)
                return;
    }
    LargeBlock block = AllocateLargeBlock(size);
    if (!block)
        return;
    // Each page touched once; the kernel clears it then, on the threads that touch it.
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    char* bytes = block.get();
    SplitAcrossCores(mapped / page, [bytes, page](size_t begin, size_t end) {
        for (size_t p = begin; p < end; ++p)
            reinterpret_cast<volatile char*>(bytes)[p * page] = 0;
    });
}  // kept as a spare as it goes

LargeBlock AllocateLargeBlock(size_t size)
{
    const size_t mapped = MappedSize(size);
    {
        SpareBlocks& spares = Spares();
        const std::lock_guard<std::mutex> lock(spares.mutex);
        auto best = spares.blocks.end();
        for (auto b = spares.blocks.begin(); b != spares.blocks.end(); ++b)
            if (b->second >= mapped && (best == spares.blocks.end() || b->second < best->second))
                best = b;
        if (best != spares.blocks.end()) {
            const auto [block, blockSize] = *best;
            spares.blocks.erase(best);
            return LargeBlock(block, LargeBlockRelease{blockSize});
        }
    }
    void* block = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return LargeBlock(nullptr, LargeBlockRelease{0});
    madvise(block, mapped, MADV_HUGEPAGE);  // a hint: without it the block still serves
    return LargeBlock(static_cast<char*>(block), LargeBlockRelease{mapped});
}

}  // namespace quillon::platform
