#include "records/BackgroundWrites.h"

#include <algorithm>
#include <chrono>

namespace quillon {

BackgroundWrites::~BackgroundWrites()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

void BackgroundWrites::Add(int tag, Job job)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({tag, std::move(job), std::make_shared<std::atomic<bool>>(false)});
    if (!thread_.joinable())
        thread_ = std::thread([this] { Work(); });
    changed_.notify_all();
}

size_t BackgroundWrites::Pending() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

bool BackgroundWrites::Pending(int tag) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(queue_.begin(), queue_.end(), [tag](const Entry& e) { return e.tag == tag; });
}

void BackgroundWrites::Stop(const std::function<bool(int tag)>& which)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    // The front one may be under way: it is told, and ends at its next block. Those behind it
    // have not begun and go at once.
    for (auto e = queue_.begin(); e != queue_.end();) {
        if (!which(e->tag)) {
            ++e;
        } else if (e == queue_.begin()) {
            e->stop->store(true);
            ++e;
        } else {
            Outcome stopped;
            stopped.tag = e->tag;
            stopped.ok = false;
            stopped.stopped = true;
            ended_.push_back(std::move(stopped));
            e = queue_.erase(e);
        }
    }
    changed_.notify_all();
}

void BackgroundWrites::WaitWhile(const std::function<bool()>& busy,
                                 const std::function<void()>& turn)
{
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!turn) {
                changed_.wait(lock, [&] { return !busy(); });
                return;
            }
            if (changed_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !busy(); }))
                return;
        }
        turn();
    }
}

void BackgroundWrites::WaitUntilAtMost(size_t most, const std::function<void()>& turn)
{
    WaitWhile([&] { return queue_.size() > most; }, turn);
}

void BackgroundWrites::WaitFor(int tag, const std::function<void()>& turn)
{
    WaitWhile(
        [&] {
            return std::any_of(queue_.begin(), queue_.end(),
                               [tag](const Entry& e) { return e.tag == tag; });
        },
        turn);
}

void BackgroundWrites::WaitUntil(const std::function<bool()>& done,
                                 const std::function<void()>& turn)
{
    while (!done()) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(20));
        }
        if (turn)
            turn();
    }
}

std::vector<BackgroundWrites::Outcome> BackgroundWrites::TakeEnded()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Outcome> taken;
    taken.swap(ended_);
    return taken;
}

void BackgroundWrites::Work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty())
            return;  // closing, nothing left
        Entry& next = queue_.front();
        Job job = std::move(next.job);
        const std::shared_ptr<std::atomic<bool>> stop = next.stop;
        const int tag = next.tag;
        lock.unlock();
        Outcome outcome = job(*stop);
        outcome.tag = tag;
        outcome.stopped = !outcome.ok && stop->load();
        job = nullptr;  // what it held goes before the lock is taken again
        lock.lock();
        ended_.push_back(std::move(outcome));
        // Told while the write still counts as pending, so that whoever waits for it also
        // waits for this call.
        if (onEnded) {
            lock.unlock();
            onEnded();
            lock.lock();
        }
        queue_.pop_front();
        changed_.notify_all();
    }
}

}  // namespace quillon
