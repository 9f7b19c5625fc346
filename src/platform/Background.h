#pragma once
// Work that runs beside the window's thread: long copies split across the cores, and one long
// step run on a thread of its own while the caller keeps its window alive.
#include <chrono>
#include <cstddef>
#include <functional>

namespace quillon::platform {

// Runs `part` over [0, count) cut into one contiguous range per core, the ranges at once on
// threads of their own; returns when all have ended. Small counts run on the calling thread.
void SplitAcrossCores(size_t count, const std::function<void(size_t begin, size_t end)>& part);

// Runs `work` on a thread of its own and returns once it has ended; meanwhile `turn` runs on the
// calling thread every `interval` or so (to let window events run). `work` must not touch what
// `turn` may change.
void RunBeside(const std::function<void()>& work, const std::function<void()>& turn,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20));

}  // namespace quillon::platform
