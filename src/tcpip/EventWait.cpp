#include "tcpip/EventWait.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <thread>

namespace quillon {

namespace {

std::optional<WaitEnd> Settled(const std::function<bool()>& done, const std::function<bool()>& stop)
{
    if (stop && stop())
        return WaitEnd::Stopped;
    if (done && done())
        return WaitEnd::Done;
    return std::nullopt;
}

WaitEnd WaitFor(const QDeadlineTimer& deadline, const std::function<bool()>& done,
                const std::function<bool()>& stop)
{
    auto settled = [&] { return Settled(done, stop); };
    if (auto end = settled())
        return *end;
    QEventLoop loop;
    // Wakes the dispatcher at the deadline when no other event comes first.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (!deadline.isForever()) {
            const qint64 leftNs = deadline.remainingTimeNSecs();
            if (leftNs <= 0)
                return WaitEnd::TimedOut;
            // Timers count whole milliseconds and the dispatcher rounds its poll up, so a timer
            // for the rounded-up rest would overshoot the deadline by up to a millisecond on
            // every wait. Wake a little early instead and sleep out the last fraction.
            const qint64 wholeMs = leftNs / 1'000'000;
            if (wholeMs == 0) {
                loop.processEvents(QEventLoop::AllEvents);
                if (auto end = settled())
                    return *end;
                std::this_thread::sleep_for(
                    std::chrono::nanoseconds(std::max<qint64>(deadline.remainingTimeNSecs(), 0)));
                return settled().value_or(WaitEnd::TimedOut);
            }
            wake.start(static_cast<int>(std::min<qint64>(wholeMs, 24 * 3600 * 1000)));
        }
        loop.processEvents(QEventLoop::WaitForMoreEvents);
        if (auto end = settled())
            return *end;
    }
}

}  // namespace

WaitEnd WaitWithEvents(std::chrono::milliseconds limit, const std::function<bool()>& done,
                       const std::function<bool()>& stop)
{
    if (limit.count() == 0) {
        if (auto end = Settled(done, stop))
            return *end;
        QEventLoop loop;
        loop.processEvents(QEventLoop::AllEvents);
        return Settled(done, stop).value_or(WaitEnd::TimedOut);
    }
    return WaitFor(limit.count() < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                     : QDeadlineTimer(limit, Qt::PreciseTimer),
                   done, stop);
}

WaitEnd WaitWithEventsUntil(std::chrono::steady_clock::time_point deadline,
                            const std::function<bool()>& done, const std::function<bool()>& stop)
{
    return WaitFor(QDeadlineTimer(deadline, Qt::PreciseTimer), done, stop);
}

}  // namespace quillon
