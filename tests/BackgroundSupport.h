#pragma once
// Helpers for commands whose copies are written beside the window.
#include <QAction>
#include <QMenu>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "records/BackgroundWrites.h"

namespace quillon::test {

// Holds the writing thread of `writes` until released (or destroyed, or `heldFor` has passed),
// so that whatever is queued behind it is still on its way. The held write carries `tag`.
class HeldWrites {
public:
    explicit HeldWrites(BackgroundWrites& writes,
                        std::chrono::milliseconds heldFor = std::chrono::hours(1), int tag = 99)
        : gate_(std::make_shared<Gate>())
    {
        writes.Add(tag, [gate = gate_, heldFor](const std::atomic<bool>&) {
            std::unique_lock<std::mutex> lock(gate->mutex);
            gate->opened.wait_for(lock, heldFor, [&] { return gate->open; });
            return BackgroundWrites::Outcome{};
        });
    }
    ~HeldWrites() { Release(); }
    void Release()
    {
        const std::lock_guard<std::mutex> lock(gate_->mutex);
        gate_->open = true;
        gate_->opened.notify_all();
    }

private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    std::shared_ptr<Gate> gate_;
};

// Chooses a menu item as the user does: its menu opens (and updates its items), then the item
// is chosen. False when the item was disabled.
inline bool ChooseMenuItem(QAction* item)
{
    for (QObject* owner : item->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(owner)) {
            emit menu->aboutToShow();
            break;
        }
    if (!item->isEnabled())
        return false;
    item->trigger();
    return true;
}

}  // namespace quillon::test
