#pragma once
// When a long loop over records should report its progress: at most every 50 ms. The clock is
// read only every 256 records or every megabyte, so the check costs next to nothing per record.
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quillon {

class ProgressPacer {
public:
    // `reportAtOnce`: the first due record reports without waiting 50 ms.
    explicit ProgressPacer(bool reportAtOnce = true)
        : last_(reportAtOnce ? Clock::time_point{} : Clock::now())
    {
    }

    // Called once per record with its size; true when the loop should report now.
    bool Due(size_t bytes)
    {
        bytes_ += bytes;
        if (++records_ < 256 && bytes_ < (size_t{1} << 20))
            return false;
        records_ = 0;
        bytes_ = 0;
        const auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(50))
            return false;
        last_ = now;
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point last_;
    int32_t records_ = 0;
    size_t bytes_ = 0;
};

}  // namespace quillon
