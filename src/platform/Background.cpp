#include "platform/Background.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <system_error>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Heap.h"

namespace quillon::platform {

void SplitAcrossCores(size_t count, const std::function<void(size_t begin, size_t end)>& part)
{
    // Below this a thread costs more than it saves.
    constexpr size_t kLeast = 4096;
    const size_t cores = CoreCount();
    const size_t threads = std::min(cores, std::max<size_t>(1, count / kLeast));
    if (threads <= 1) {
        part(0, count);
        return;
    }
    // The ranges are small and taken in turn by whichever thread is free, the calling one too:
    // on a busy machine a thread the system runs late holds up no more than the one range it
    // took, and the others take the rest.
    const size_t step = std::max(kLeast, count / (threads * 8));
    std::atomic<size_t> next{0};
    const auto take = [&] {
        for (;;) {
            const size_t begin = next.fetch_add(step, std::memory_order_relaxed);
            if (begin >= count)
                return;
            part(begin, std::min(count, begin + step));
        }
    };
    std::vector<std::thread> crew;
    crew.reserve(threads - 1);
    for (size_t t = 1; t < threads; ++t) {
        try {
            crew.emplace_back(take);
        } catch (const std::system_error&) {
            break;  // fewer threads: the others take their ranges
        }
    }
    take();
    for (std::thread& t : crew)
        t.join();
}

size_t CoreCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

struct Crew::Shared {
    std::mutex mutex;
    std::condition_variable begun, ended;
    const std::function<void(size_t)>* job = nullptr;
    uint64_t round = 0;  // counts the jobs given, so a member runs each once
    size_t running = 0;
    bool closing = false;
    std::exception_ptr failure;  // the first a member's job threw, thrown again by Run
    std::vector<std::thread> threads;
};

Crew::Crew(size_t size) : size_(std::max<size_t>(size, 1)), shared_(std::make_unique<Shared>())
{
    Shared& s = *shared_;
    s.threads.reserve(size_ - 1);
    for (size_t member = 1; member < size_; ++member) {
        try {
            s.threads.emplace_back([&s, member] {
                uint64_t done = 0;
                for (;;) {
                    const std::function<void(size_t)>* job;
                    {
                        std::unique_lock<std::mutex> lock(s.mutex);
                        s.begun.wait(lock, [&] { return s.closing || s.round != done; });
                        if (s.closing)
                            return;
                        done = s.round;
                        job = s.job;
                    }
                    std::exception_ptr failure;
                    try {
                        (*job)(member);
                    } catch (...) {
                        failure = std::current_exception();
                    }
                    const std::lock_guard<std::mutex> lock(s.mutex);
                    if (failure && !s.failure)
                        s.failure = failure;
                    if (--s.running == 0)
                        s.ended.notify_one();
                }
            });
        } catch (const std::system_error&) {
            size_ = member;  // no more threads to be had: the crew works with those it has
            break;
        }
    }
}

Crew::~Crew()
{
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->closing = true;
    }
    shared_->begun.notify_all();
    for (std::thread& t : shared_->threads)
        t.join();
}

void Crew::Run(const std::function<void(size_t member)>& job)
{
    Shared& s = *shared_;
    if (size_ > 1) {
        const std::lock_guard<std::mutex> lock(s.mutex);
        s.job = &job;
        s.running = size_ - 1;
        ++s.round;
    }
    s.begun.notify_all();
    std::exception_ptr failure;
    try {
        job(0);
    } catch (...) {
        failure = std::current_exception();
    }
    // The other members use what the caller's job refers to until they have ended.
    if (size_ > 1) {
        std::unique_lock<std::mutex> lock(s.mutex);
        s.ended.wait(lock, [&] { return s.running == 0; });
        if (!failure)
            failure = std::exchange(s.failure, nullptr);
        s.failure = nullptr;
    }
    if (failure)
        std::rethrow_exception(failure);
}

void RunBeside(const std::function<void()>& work, const std::function<void()>& turn,
               std::chrono::milliseconds interval)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread worker([&] {
        work();
        // What the work took for a while on this thread's heap is not left resident.
        ReturnHeapTopPages();
        const std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ended.notify_all();
    });
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (ended.wait_for(lock, interval, [&] { return done; }))
                break;
        }
        if (turn)
            turn();
    }
    worker.join();
}

}  // namespace quillon::platform
