#include "records/RecordText.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <system_error>
#include <ostream>

#include "platform/Heap.h"

namespace quillon {

namespace record_text {

namespace {

std::atomic<size_t> blocksInUse{0};

}  // namespace

void Free(uintptr_t handle) noexcept
{
    Header* header = HeaderOf(handle);
    if (handle & kOwnAllocation) {
        std::free(header);
        return;
    }
    const size_t size = header->size;
    header->~Header();
    platform::UnmapBlock(header, size);
    blocksInUse.fetch_sub(1, std::memory_order_relaxed);
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
        platform::UnmapBlock(block, kBlockSize);
    ready_.clear();
}

size_t RecordArena::TakeBatch()
{
    const size_t blocks = std::clamp<size_t>((expected_ + kBlockSize - 1) / kBlockSize, 2, 8);
    expected_ -= std::min(expected_, blocks * kBlockSize);
    return blocks;
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

size_t RecordBlocksInUse()
{
    return record_text::blocksInUse.load(std::memory_order_relaxed);
}

}  // namespace quillon
