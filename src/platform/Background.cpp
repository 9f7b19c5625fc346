#include "platform/Background.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon::platform {

void SplitAcrossCores(size_t count, const std::function<void(size_t begin, size_t end)>& part)
{
    // Below this a thread costs more than it saves.
    constexpr size_t kLeast = 4096;
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
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
