#pragma once
// Large files written on a thread of their own, one after another, so that a command can return
// to its window while its copy is still on the way to a slow disk. Each write carries a tag (an
// undo slot, or a file of its own); whoever needs a file waits for the writes of its tag.
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon {

class BackgroundWrites {
public:
    struct Outcome {
        int tag = 0;
        bool ok = true;
        bool stopped = false;  // asked to stop before it was done
        QString path;
        QString error;  // why it failed
    };
    // A write; `stop` turns true when the write is no longer wanted (it may then end early and
    // leave no file).
    using Job = std::function<Outcome(const std::atomic<bool>& stop)>;

    BackgroundWrites() = default;
    // Waits for the writes left (those asked to stop end early).
    ~BackgroundWrites();
    BackgroundWrites(const BackgroundWrites&) = delete;
    BackgroundWrites& operator=(const BackgroundWrites&) = delete;

    void Add(int tag, Job job);

    // Queued or running writes: all of them, or those of one tag.
    size_t Pending() const;
    bool Pending(int tag) const;

    // Stops the writes whose tag `which` accepts: those not begun are dropped at once, the one
    // under way ends at its next block. Either leaves no file.
    void Stop(const std::function<bool(int tag)>& which);

    // Return once at most `most` writes are pending / no write of `tag` is; `turn` runs about
    // every 20 ms meanwhile (none: just wait).
    void WaitUntilAtMost(size_t most, const std::function<void()>& turn = {});
    void WaitFor(int tag, const std::function<void()>& turn = {});
    // Returns once `done` answers true; it is asked again whenever a write ends and about every
    // 20 ms, after `turn`.
    void WaitUntil(const std::function<bool()>& done, const std::function<void()>& turn);

    // The outcomes of ended writes not taken yet, oldest first.
    std::vector<Outcome> TakeEnded();

    // Runs on the writing thread after each write ends (to wake the window's thread).
    std::function<void()> onEnded;

private:
    struct Entry {
        int tag;
        Job job;
        std::shared_ptr<std::atomic<bool>> stop;
    };
    void Work();
    void WaitWhile(const std::function<bool()>& busy, const std::function<void()>& turn);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> queue_;  // the front one is the write under way
    bool closing_ = false;
    std::vector<Outcome> ended_;
    std::thread thread_;
};

}  // namespace quillon
