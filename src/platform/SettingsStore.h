#pragma once
// The per-user settings store.
#include <QString>

namespace quillon::platform {

class SettingsStore {
public:
    SettingsStore() = default;
};

}  // namespace quillon::platform
