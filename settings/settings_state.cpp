#include "settings/settings_state.h"

namespace settings {

SettingsState& g_Settings() {
    static SettingsState state;
    return state;
}

platform::CriticalSection& SettingsLock() {
    static platform::CriticalSection lock;
    return lock;
}

}  // namespace settings
