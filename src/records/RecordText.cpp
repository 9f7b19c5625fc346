#include "records/RecordText.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <ostream>

#include "platform/Heap.h"

namespace quillon {

namespace record_text {

namespace {

std::atomic<size_t> blocksInUse{0};

// Free blocks, their pages touched, newest last. Never destroyed: texts may go at exit.
struct Kept {
    std::mutex lock;
    std::vector<void*> blocks;
    int keepers = 0;  // KeepFreedBlocks held
};
Kept& TheKept()
{
    static Kept* const kept = new Kept;
    return *kept;
}

// Keeps a free block or gives it back to the system.
void KeepOrUnmap(void* block) noexcept
{
    Kept& kept = TheKept();
    {
        const std::lock_guard<std::mutex> lock(kept.lock);
        if (kept.keepers > 0 || kept.blocks.size() < kKeptBlocks) {
            try {
                kept.blocks.push_back(block);
                return;
            } catch (const std::bad_alloc&) {
            }
        }
    }
    platform::UnmapBlock(block, kBlockSize);
}

void* TakeKept() noexcept
{
    Kept& kept = TheKept();
    const std::lock_guard<std::mutex> lock(kept.lock);
    if (kept.blocks.empty())
        return nullptr;
    void* block = kept.blocks.back();
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
    if (coming_.valid())
        for (void* block : coming_.get())
            ready_.push_back(block);
    for (void* block : ready_)
        record_text::KeepOrUnmap(block);
    ready_.clear();
}

size_t RecordArena::TakeBatch()
{
    const size_t blocks = std::clamp<size_t>((expected_ + kBlockSize - 1) / kBlockSize, 2, 8);
    expected_ -= std::min(expected_, blocks * kBlockSize);
    return blocks;
}

RecordArena::KeepFreedBlocks::KeepFreedBlocks()
{
    record_text::Kept& kept = record_text::TheKept();
    const std::lock_guard<std::mutex> lock(kept.lock);
    ++kept.keepers;
}

RecordArena::KeepFreedBlocks::~KeepFreedBlocks()
{
    std::vector<void*> surplus;
    {
        record_text::Kept& kept = record_text::TheKept();
        const std::lock_guard<std::mutex> lock(kept.lock);
        if (--kept.keepers > 0 || kept.blocks.size() <= record_text::kKeptBlocks)
            return;
        // The newest stay: they are the likeliest still in the caches.
        const auto stay = kept.blocks.end() - record_text::kKeptBlocks;
        surplus.assign(kept.blocks.begin(), stay);
        kept.blocks.erase(kept.blocks.begin(), stay);
        kept.blocks.shrink_to_fit();
    }
    for (void* block : surplus)
        platform::UnmapBlock(block, kBlockSize);
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
    if (ready_.empty() && coming_.valid())
        ready_ = coming_.get();
    // Below two blocks' worth a batch would not pay.
    const bool large = expected_ >= 2 * kBlockSize;
    if (ready_.empty() && large)
        ready_ = platform::MapTouchedBlocks(TakeBatch(), kBlockSize);
    // While this batch fills, the next one is readied beside.
    if (!coming_.valid() && expected_ >= 2 * kBlockSize) {
        const size_t blocks = TakeBatch();
        try {
            coming_ = std::async(std::launch::async, [blocks] {
                return platform::MapTouchedBlocks(blocks, kBlockSize);
            });
        } catch (const std::system_error&) {
            expected_ += blocks * kBlockSize;  // no thread to be had: the next batch waits
        }
    }
    void* mapped = nullptr;
    if (!ready_.empty()) {
        mapped = ready_.back();
        ready_.pop_back();
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
