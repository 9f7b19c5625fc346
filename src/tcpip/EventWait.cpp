#include "tcpip/EventWait.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace quillon {

WaitEnd WaitWithEvents(std::chrono::milliseconds limit, const std::function<bool()>& done,
                       const std::function<bool()>& stop)
{
    auto settled = [&]() -> std::optional<WaitEnd> {
        if (stop && stop())
            return WaitEnd::Stopped;
        if (done && done())
            return WaitEnd::Done;
        return std::nullopt;
    };
    if (auto end = settled())
        return *end;

    QEventLoop loop;
    if (limit.count() == 0) {
        loop.processEvents(QEventLoop::AllEvents);
        return settled().value_or(WaitEnd::TimedOut);
    }

    const QDeadlineTimer deadline = limit.count() < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                      : QDeadlineTimer(limit, Qt::PreciseTimer);
    // Wakes the dispatcher at the deadline when no other event comes first.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (!deadline.isForever()) {
            const qint64 left = deadline.remainingTime();
            if (left <= 0)
                return WaitEnd::TimedOut;
            wake.start(static_cast<int>(std::min<qint64>(left, 24 * 3600 * 1000)));
        }
        loop.processEvents(QEventLoop::WaitForMoreEvents);
        if (auto end = settled())
            return *end;
    }
}

}  // namespace quillon
