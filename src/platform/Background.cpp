#include "platform/Background.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <system_error>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace quillon::platform {

void SplitAcrossCores(size_t count, const std::function<void(size_t begin, size_t end)>& part)
{
    // Below this a thread costs more than it saves.
    constexpr size_t kLeast = 4096;
    const size_t cores = CoreCount();
    const size_t parts = std::min(cores, std::max<size_t>(1, count / kLeast));
    if (parts <= 1) {
        part(0, count);
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(parts - 1);
    const size_t step = (count + parts - 1) / parts;
    for (size_t p = 1; p < parts; ++p) {
        const size_t begin = std::min(count, p * step);
        const size_t end = std::min(count, begin + step);
        threads.emplace_back([&part, begin, end] { part(begin, end); });
    }
    part(0, std::min(count, step));
    for (std::thread& t : threads)
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
