#include "records/RecordText.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Background.h"
#include "platform/Heap.h"

namespace quillon {

namespace record_text {

namespace {

std::atomic<size_t> blocksInUse{0};

// Free blocks, their pages touched, newest last; those kept for the next load with the time they
// were freed. Never destroyed: texts may go at exit.
struct Kept {
    struct Block {
        void* at;
        std::chrono::steady_clock::time_point freed;
        bool forNextLoad;
    };
    std::mutex lock;
    std::vector<Block> blocks;
    int keepers = 0;      // KeepFreedBlocks held
    int loadKeepers = 0;  // KeepForNextLoad held
};
Kept& TheKept()
{
    static Kept* const kept = new Kept;
    return *kept;
}

// One keeper more or fewer of a kind.
void CountKeeper(int Kept::*keepers, int by)
{
    Kept& kept = TheKept();
    const std::lock_guard<std::mutex> lock(kept.lock);
    kept.*keepers += by;
}

// With the lock held: the blocks beyond the few always kept that may go (those kept for the next
// load only once freed before `freedBefore`), out of the list; the newest stay.
std::vector<void*> TakeSurplus(Kept& kept, std::chrono::steady_clock::time_point freedBefore)
{
    std::vector<void*> surplus;
    if (kept.keepers > 0 || kept.blocks.size() <= kKeptBlocks)
        return surplus;
    const size_t candidates = kept.blocks.size() - kKeptBlocks;
    try {
        surplus.reserve(candidates);
    } catch (const std::bad_alloc&) {
        return surplus;  // they go another time
    }
    size_t stay = 0;
    for (size_t i = 0; i < kept.blocks.size(); ++i) {
        const Kept::Block& block = kept.blocks[i];
        if (i < candidates && surplus.size() < candidates
            && (!block.forNextLoad || block.freed <= freedBefore))
            surplus.push_back(block.at);
        else
            kept.blocks[stay++] = block;
    }
    kept.blocks.resize(stay);
    return surplus;
}

void Unmap(const std::vector<void*>& blocks) noexcept
{
    for (void* block : blocks)
        platform::UnmapBlock(block, kBlockSize);
}

// Keeps a free block or gives it back to the system.
void KeepOrUnmap(void* block) noexcept
{
    Kept& kept = TheKept();
    const auto now = std::chrono::steady_clock::now();
    std::vector<void*> surplus;
    {
        const std::lock_guard<std::mutex> lock(kept.lock);
        const bool forNextLoad = kept.loadKeepers > 0;
        if (kept.keepers > 0 || forNextLoad || kept.blocks.size() < kKeptBlocks) {
            try {
                kept.blocks.push_back({block, now, forNextLoad});
                block = nullptr;
            } catch (const std::bad_alloc&) {
            }
        }
        if (!forNextLoad)
            surplus = TakeSurplus(kept, now - kKeptFor);
    }
    Unmap(surplus);
    if (block)
        platform::UnmapBlock(block, kBlockSize);
}

void* TakeKept() noexcept
{
    Kept& kept = TheKept();
    const std::lock_guard<std::mutex> lock(kept.lock);
    if (kept.blocks.empty())
        return nullptr;
    void* block = kept.blocks.back().at;
    kept.blocks.pop_back();
    return block;
}

}  // namespace

void Free(uintptr_t handle) noexcept
{
    Header* header = HeaderOf(handle);
    if (handle & kOwnAllocation) {
        std::free(header);
        return;
    }
    header->~Header();
    blocksInUse.fetch_sub(1, std::memory_order_relaxed);
    KeepOrUnmap(header);
}

// The threads bring in the pages of at most this many blocks past the arena's, so that an arena
// that expected more than it writes leaves little brought in for nothing.
constexpr size_t kFilledAhead = 4;

struct FillAhead {
    char* first = nullptr;  // `count` blocks, one after another
    size_t count = 0;
    size_t filled = 0;  // the threads bring in no block from here on: more than was expected
    // Written by the arena's thread only: the blocks it has taken, then given back.
    size_t taken = 0;
    bool ended = false;
    std::atomic<size_t> next{0};  // the next block a thread brings in
    std::mutex lock;
    std::condition_variable moved;  // the arena took a block, or ended

    char* Block(size_t i) const { return first + i * kBlockSize; }

    // A thread's part: each block in turn that no other thread has claimed, while it lies
    // ahead of the arena and not too far.
    void Fill()
    {
        for (;;) {
            const size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= filled)
                return;
            {
                std::unique_lock<std::mutex> hold(lock);
                moved.wait(hold, [&] { return ended || i < taken + kFilledAhead; });
                if (ended)
                    return;
                if (i < taken)
                    continue;  // the arena is writing there already
            }
            // Left as they are when the system cannot: the arena's writes bring them in.
            if (!platform::Populate(Block(i), kBlockSize))
                return;
        }
    }
};

namespace {

// Maps the blocks for `expected` bytes and starts the threads that bring them in; null when
// nothing could be mapped.
std::shared_ptr<FillAhead> StartFillAhead(size_t expected)
{
    // Each text takes a few bytes beside its own, and the last of each block is left over: the
    // arena may take a few blocks more than the bytes expected fill, which nothing brings in.
    const size_t filled = (expected + kBlockSize - 1) / kBlockSize;
    const size_t blocks = filled + expected / (kBlockSize * 32) + 2;
    auto ahead = std::make_shared<FillAhead>();
    ahead->first = static_cast<char*>(platform::MapAlignedBlocks(blocks, kBlockSize, true));
    if (!ahead->first)
        return nullptr;
    ahead->count = blocks;
    ahead->filled = filled;
    const size_t threads = std::min<size_t>(platform::CoreCount() / 2, 4);
    for (size_t t = 0; t < threads; ++t) {
        try {
            // Detached: the arena never waits for them. Each keeps the shared state alive and
            // ends once the arena has ended or there is nothing left to bring in.
            std::thread([ahead] { ahead->Fill(); }).detach();
        } catch (const std::system_error&) {
            break;  // fewer threads: the arena's writes bring in the rest
        }
    }
    return ahead;
}

}  // namespace

}  // namespace record_text

using record_text::Header;
using record_text::kBlockSize;

RecordText::RecordText(std::string_view bytes) : RecordText(RecordArena::OfThisThread().Copy(bytes))
{
}

std::ostream& operator<<(std::ostream& out, const RecordText& text)
{
    return out << text.view();
}

RecordArena::~RecordArena()
{
    DropBlock();
    DropReady();
}

void RecordArena::DropReady()
{
    if (!ahead_)
        return;
    record_text::FillAhead& ahead = *ahead_;
    size_t from = 0;
    {
        const std::lock_guard<std::mutex> hold(ahead.lock);
        from = ahead.taken;
        ahead.ended = true;
    }
    ahead.moved.notify_all();
    // The few brought in may serve the next texts; the rest were never touched.
    const size_t touched =
        std::max(from, std::min(ahead.filled, from + record_text::kFilledAhead));
    for (size_t i = from; i < touched; ++i)
        record_text::KeepOrUnmap(ahead.Block(i));
    if (touched < ahead.count)
        platform::UnmapBlock(ahead.Block(touched), (ahead.count - touched) * kBlockSize);
    ahead_.reset();
}

RecordArena::KeepFreedBlocks::KeepFreedBlocks()
{
    record_text::CountKeeper(&record_text::Kept::keepers, 1);
}

RecordArena::KeepFreedBlocks::~KeepFreedBlocks()
{
    record_text::Kept& kept = record_text::TheKept();
    std::vector<void*> surplus;
    {
        const std::lock_guard<std::mutex> lock(kept.lock);
        --kept.keepers;
        surplus = record_text::TakeSurplus(
            kept, std::chrono::steady_clock::now() - record_text::kKeptFor);
    }
    record_text::Unmap(surplus);
}

RecordArena::KeepForNextLoad::KeepForNextLoad()
{
    record_text::CountKeeper(&record_text::Kept::loadKeepers, 1);
}

RecordArena::KeepForNextLoad::~KeepForNextLoad()
{
    record_text::CountKeeper(&record_text::Kept::loadKeepers, -1);
}

RecordArena::Expecting::Expecting(size_t bytes) : was_(OfThisThread().expected_)
{
    OfThisThread().expected_ = bytes;
}

RecordArena::Expecting::~Expecting()
{
    RecordArena& arena = OfThisThread();
    arena.expected_ = was_;
    arena.DropReady();
}

void RecordArena::DropBlock()
{
    // The arena's own count on its block: the block stays while texts in it do.
    if (block_ && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
        record_text::Free(reinterpret_cast<uintptr_t>(block_) + sizeof(Header));
    block_ = nullptr;
}

RecordArena& RecordArena::OfThisThread()
{
    thread_local RecordArena arena;
    return arena;
}

void RecordArena::NextBlock()
{
    if (block_) {
        DropBlock();
        filledOne_ = true;
    }
    // A block freed earlier comes first: its pages are touched already.
    if (void* block = record_text::TakeKept()) {
        expected_ -= std::min(expected_, kBlockSize);
        Begin(block);
        return;
    }
    if (ahead_ && ahead_->taken == ahead_->count)
        DropReady();
    // Below two blocks' worth the threads would not pay.
    const bool large = expected_ >= 2 * kBlockSize;
    if (!ahead_ && large) {
        ahead_ = record_text::StartFillAhead(expected_);
        if (ahead_)
            expected_ -= std::min(expected_, ahead_->count * kBlockSize);
    }
    void* mapped = nullptr;
    if (ahead_) {
        record_text::FillAhead& ahead = *ahead_;
        {
            const std::lock_guard<std::mutex> hold(ahead.lock);
            mapped = ahead.Block(ahead.taken++);
        }
        ahead.moved.notify_all();
    } else {
        mapped = platform::MapAlignedBlock(kBlockSize, large || filledOne_);
    }
    if (!mapped)
        throw std::bad_alloc();
    Begin(mapped);
}

void RecordArena::Begin(void* mapped)
{
    block_ = new (mapped) Header{{1}, kBlockSize};
    record_text::blocksInUse.fetch_add(1, std::memory_order_relaxed);
    next_ = static_cast<char*>(mapped) + sizeof(Header);
    end_ = static_cast<char*>(mapped) + kBlockSize;
}

uintptr_t RecordArena::Place(size_t size)
{
    if (size > record_text::kLargestInBlock) {
        void* own = std::malloc(sizeof(Header) + size);
        if (!own)
            throw std::bad_alloc();
        new (own) Header{{1}, size};
        return (reinterpret_cast<uintptr_t>(own) + sizeof(Header)) | record_text::kOwnAllocation;
    }
    // The length, then the text at an even address.
    const auto at = [this] {
        return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(next_) + sizeof(uint32_t) + 1)
                                       & ~uintptr_t{1});
    };
    if (!block_ || at() + size > end_)
        NextBlock();
    char* text = at();
    const auto length = static_cast<uint32_t>(size);
    std::memcpy(text - sizeof length, &length, sizeof length);
    next_ = text + size;
    block_->refs.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<uintptr_t>(text);
}

char* RecordArena::Room(size_t size)
{
    // 8 bytes for the writer, the last 4 of them the length once kept.
    const auto at = [this] {
        return reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(next_) + 2 * sizeof(uint64_t) - 1)
                                       & ~uintptr_t{sizeof(uint64_t) - 1});
    };
    if (size > record_text::kLargestInBlock)
        throw std::length_error("RecordArena::Room");
    if (!block_ || at() + size > end_)
        NextBlock();
    room_ = at();
    return room_;
}

RecordText RecordArena::Keep(size_t size)
{
    if (size == 0)
        return {};
    char* text = room_;
    room_ = nullptr;
    const auto length = static_cast<uint32_t>(size);
    std::memcpy(text - sizeof length, &length, sizeof length);
    next_ = text + size;
    block_->refs.fetch_add(1, std::memory_order_relaxed);
    return RecordText(reinterpret_cast<uintptr_t>(text));
}

void GiveBackUnusedRecordBlocks(std::chrono::milliseconds unused)
{
    record_text::Kept& kept = record_text::TheKept();
    std::vector<void*> blocks;
    {
        const std::lock_guard<std::mutex> lock(kept.lock);
        blocks = record_text::TakeSurplus(kept, std::chrono::steady_clock::now() - unused);
    }
    record_text::Unmap(blocks);
}

size_t RecordBlocksInUse()
{
    return record_text::blocksInUse.load(std::memory_order_relaxed);
}

size_t RecordBlocksKept()
{
    record_text::Kept& kept = record_text::TheKept();
    const std::lock_guard<std::mutex> lock(kept.lock);
    return kept.blocks.size();
}

}  // namespace quillon
