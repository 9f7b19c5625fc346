#pragma once
// Work that runs beside the window's thread: long copies split across the cores, a crew of
// threads for many short steps, and one long step run on a thread of its own while the caller
// keeps its window alive.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

namespace quillon::platform {

// Runs `part` over [0, count) cut into contiguous ranges, each run once, by threads as many as
// the cores (the calling one among them); returns when all have ended. Small counts run on the
// calling thread.
void SplitAcrossCores(size_t count, const std::function<void(size_t begin, size_t end)>& part);

// Threads kept for one long task that runs many short steps across the cores: starting threads
// for each step would cost more than some steps take. Member 0 is the calling thread.
class Crew {
public:
    // `size` members (fewer when the system gives no more threads); 1 starts no thread.
    explicit Crew(size_t size);
    ~Crew();
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;

    size_t Size() const { return size_; }
    // Runs job(member) on every member at once; returns when all have ended, throwing again what
    // a job threw.
    void Run(const std::function<void(size_t member)>& job);

private:
    struct Shared;
    size_t size_;
    std::unique_ptr<Shared> shared_;
};

// The cores this machine offers, at least 1.
size_t CoreCount();

// Runs `work` on a thread of its own and returns once it has ended; meanwhile `turn` runs on the
// calling thread every `interval` or so (to let window events run). `work` must not touch what
// `turn` may change.
void RunBeside(const std::function<void()>& work, const std::function<void()>& turn,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20));

}  // namespace quillon::platform
