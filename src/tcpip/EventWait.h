#pragma once
// The one way the TCP/IP engines wait: window events keep running (socket events, Pause, Stop
// and every other command of the window), and the wait ends when its condition holds, when a
// stop is asked for, or when its time is up. It never spins: between events the thread blocks
// in the event dispatcher, woken by the next event or by a timer set just short of the
// deadline; only the last fraction of a millisecond, below the timers' resolution, is slept
// out. Window-free (QtCore only), so it lives in quillon_core.
#include <chrono>
#include <functional>

namespace quillon {

enum class WaitEnd {
    Done,     // `done` answered true
    Stopped,  // `stop` answered true (asked before `done`)
    TimedOut  // the time was up first
};

// Runs window events until `stop` or `done` answers true (each is asked before the first round
// and after every round; an empty function never answers true) or `limit` has passed on a
// monotonic clock. A zero limit runs the events already waiting once, without blocking; a
// negative limit never times out.
WaitEnd WaitWithEvents(std::chrono::milliseconds limit, const std::function<bool()>& done = {},
                       const std::function<bool()>& stop = {});

// The same up to a point in time: a wait that began earlier than the call (the delay after a
// record counts from the record's end).
WaitEnd WaitWithEventsUntil(std::chrono::steady_clock::time_point deadline,
                            const std::function<bool()>& done = {},
                            const std::function<bool()>& stop = {});

}  // namespace quillon
