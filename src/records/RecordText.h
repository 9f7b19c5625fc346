#pragma once
// A record's bytes, shared by every copy and never changed in place. Copying a text copies a
// handle of 8 bytes; a command that changes a record makes a new text for it. So an undo point
// is a copy of the store's handles, and only the records an edit changes take memory twice.
//
// Texts are written one after another into blocks of 2 MB (4 bytes of length before each). When
// the last text in a block goes, the block is kept, its pages touched, for the next texts to
// take: a few always, any number while a RecordArena::KeepFreedBlocks is held (the rest go back
// to the system when it goes), and those of the records a load replaced until they have lain
// unused for kKeptFor (RecordArena::KeepForNextLoad): memory the system gives anew costs it the
// clearing of every page, on a virtual machine far more, so a load that follows soon after
// another writes into the blocks the other freed. A text too large for a block has an
// allocation of its own.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

namespace record_text {

// Blocks are aligned to their size, so a text finds its block's count from its own address.
inline constexpr size_t kBlockSize = size_t{2} << 20;
// Texts above this size get an allocation of their own, so a block never wastes much at its end.
inline constexpr size_t kLargestInBlock = size_t{64} << 10;
// Free blocks kept while no KeepFreedBlocks is held: enough for a command that frees old texts
// as it writes new ones to write into the blocks it freed.
inline constexpr size_t kKeptBlocks = 8;
// How long the blocks of the records a load replaced are kept unused for the next load.
inline constexpr std::chrono::milliseconds kKeptFor{5000};

// At the start of a block (then `size` is what was mapped), or before a text of its own (then
// `size` is the text's length).
struct Header {
    std::atomic<int64_t> refs;
    size_t size;
};
static_assert(sizeof(Header) == 16);

// A handle's value: the address of the text's first byte; a text with an allocation of its own
// has bit 0 set (block texts start at even addresses).
inline constexpr uintptr_t kOwnAllocation = 1;

inline Header* HeaderOf(uintptr_t handle) noexcept
{
    if (handle & kOwnAllocation)
        return reinterpret_cast<Header*>((handle & ~kOwnAllocation) - sizeof(Header));
    return reinterpret_cast<Header*>(handle & ~(kBlockSize - 1));
}

// The header's count reached 0: its memory goes.
void Free(uintptr_t handle) noexcept;

// Blocks mapped for an arena that expects many bytes, and the threads bringing their pages in.
struct FillAhead;

}  // namespace record_text

class RecordArena;

class RecordText {
public:
    RecordText() noexcept = default;
    // A new text holding a copy of `bytes` (written by this thread's arena).
    explicit RecordText(std::string_view bytes);
    RecordText(const RecordText& other) noexcept : handle_(other.handle_) { Retain(); }
    RecordText(RecordText&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
    RecordText& operator=(const RecordText& other) noexcept
    {
        RecordText(other).swap(*this);
        return *this;
    }
    RecordText& operator=(RecordText&& other) noexcept
    {
        RecordText(std::move(other)).swap(*this);
        return *this;
    }
    ~RecordText() { Release(); }

    void swap(RecordText& other) noexcept { std::swap(handle_, other.handle_); }
    void clear() noexcept { RecordText().swap(*this); }

    const char* data() const noexcept
    {
        return handle_ ? reinterpret_cast<const char*>(handle_ & ~record_text::kOwnAllocation) : "";
    }
    size_t size() const noexcept
    {
        if (handle_ == 0)
            return 0;
        if (handle_ & record_text::kOwnAllocation)
            return record_text::HeaderOf(handle_)->size;
        uint32_t n;
        std::memcpy(&n, reinterpret_cast<const char*>(handle_) - sizeof n, sizeof n);
        return n;
    }
    bool empty() const noexcept { return handle_ == 0; }
    std::string_view view() const noexcept { return {data(), size()}; }
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }

    // Both are copies of one text (not merely equal bytes).
    bool SharesBytesWith(const RecordText& other) const noexcept
    {
        return handle_ == other.handle_;
    }
    // A number that copies of one text share and that no other living text has.
    uintptr_t Identity() const noexcept { return handle_; }

    friend bool operator==(const RecordText& a, const RecordText& b) noexcept
    {
        return a.handle_ == b.handle_ || a.view() == b.view();
    }
    friend bool operator==(const RecordText& a, std::string_view b) noexcept
    {
        return a.view() == b;
    }

private:
    friend class RecordArena;
    // Takes over a count already made for it.
    explicit RecordText(uintptr_t adopted) noexcept : handle_(adopted) {}
    void Retain() const noexcept
    {
        if (handle_)
            record_text::HeaderOf(handle_)->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void Release() noexcept
    {
        if (handle_
            && record_text::HeaderOf(handle_)->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            record_text::Free(handle_);
    }

    uintptr_t handle_ = 0;
};

std::ostream& operator<<(std::ostream& out, const RecordText& text);

// Where new texts are written. One arena belongs to one thread at a time; the texts it made may
// go anywhere. An arena told to expect many bytes (a load, a restore, a command that gives most
// records a new text) maps the blocks it expects at once, with huge pages, and threads beside
// it bring their pages in a few blocks ahead of the writing: the system clears new memory as it
// is first touched, and on some machines (virtual ones) that costs more than copying the texts.
// The arena never waits for those threads: a block they have not reached is brought in by its
// own writes, so a busy machine that runs them late costs no more than writing alone. Other
// arenas ask for huge pages from their second block on, so that a few edits take no more than
// the pages they touch.
class RecordArena {
public:
    explicit RecordArena(size_t expectedBytes = 0) : expected_(expectedBytes) {}
    ~RecordArena();
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    // A text of `size` bytes that `fill(char* out)` writes, once; afterwards nothing changes it.
    template <class Fill>
    RecordText Make(size_t size, Fill&& fill)
    {
        if (size == 0)
            return {};
        RecordText text(Place(size));
        fill(reinterpret_cast<char*>(text.handle_ & ~record_text::kOwnAllocation));
        return text;
    }
    RecordText Copy(std::string_view bytes)
    {
        return Make(bytes.size(),
                    [bytes](char* out) { std::memcpy(out, bytes.data(), bytes.size()); });
    }

    // Room for a text of up to `size` bytes (at most kLargestInBlock) that another writes in
    // place, at an address a multiple of 8 with 8 free bytes before it that the writer may use as
    // well. It holds until the arena's next text; nothing is kept unless Keep follows.
    char* Room(size_t size);
    // The first `size` bytes of the last room, no more than it had, become a text.
    RecordText Keep(size_t size);

    // The arena of the calling thread, for texts made one at a time.
    static RecordArena& OfThisThread();

    // Raises what the arena expects to take from here on to `bytes`.
    void ExpectAtLeast(size_t bytes) { expected_ = std::max(expected_, bytes); }

    // While one is held (on any thread), every block freed is kept for the next texts, so that a
    // command that drops many texts and writes many (the undo point of an earlier command
    // going, the records a paste replaces) writes into memory already touched. When the last one
    // goes, the kept blocks beyond the few always kept go back to the system (but those kept
    // for the next load).
    class KeepFreedBlocks {
    public:
        KeepFreedBlocks();
        ~KeepFreedBlocks();
        KeepFreedBlocks(const KeepFreedBlocks&) = delete;
        KeepFreedBlocks& operator=(const KeepFreedBlocks&) = delete;
    };

    // Held while the records a load replaced are freed: their blocks are kept for the next load
    // (a file opened again, the next of several) until they have lain unused for kKeptFor.
    class KeepForNextLoad {
    public:
        KeepForNextLoad();
        ~KeepForNextLoad();
        KeepForNextLoad(const KeepForNextLoad&) = delete;
        KeepForNextLoad& operator=(const KeepForNextLoad&) = delete;
    };

    // While one is held, this thread's arena expects `bytes` more.
    class Expecting {
    public:
        explicit Expecting(size_t bytes);
        ~Expecting();
        Expecting(const Expecting&) = delete;
        Expecting& operator=(const Expecting&) = delete;

    private:
        size_t was_;
    };

private:
    // Room for a text of `size` bytes (> 0) with its count made: the handle.
    uintptr_t Place(size_t size);
    void NextBlock();
    // Starts writing into `block`, mapped and free.
    void Begin(void* block);
    void DropBlock();
    // Gives back the mapped blocks the arena did not take.
    void DropReady();

    record_text::Header* block_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    char* room_ = nullptr;  // the last Room
    size_t expected_;  // bytes still expected
    bool filledOne_ = false;
    std::shared_ptr<record_text::FillAhead> ahead_;
};

// Gives back to the system the blocks kept for the next load that have lain unused for `unused`
// or longer, but for the few always kept (none while a KeepFreedBlocks is held). The window calls
// it now and then; blocks freed meanwhile do the same.
void GiveBackUnusedRecordBlocks(std::chrono::milliseconds unused = record_text::kKeptFor);

// Blocks holding texts now, and free blocks kept, for tests.
size_t RecordBlocksInUse();
size_t RecordBlocksKept();

}  // namespace quillon
