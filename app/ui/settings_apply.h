#pragma once
// Purpose: applies the settings sheet's copy after OK: takes every changed group over into the
//          running settings, saves each through the service, then restarts what depends on them.
// Threads: the user-interface thread. SettingsLock is held for the take-over and the saves only;
//          the servers, the CSV log and the model set are restarted after it is released, so a
//          server thread or a log writer waiting for the settings cannot block the restart.
// Owns: nothing; the services are the caller's.

#include "app/ui/settings_apply_plan.h"

#include <functional>

namespace ui {

struct ApplyServices {
    // Saves one group as it now stands in the running settings; false when the save failed
    // (the save logs that itself).
    std::function<bool(SettingsGroup group, const settings::SettingsState& running)> save;
    // Stop the server if it runs and start it again when the settings allow it.
    std::function<void()> restartTcpServer;
    std::function<void()> restartUdpServer;
    std::function<void()> rebuildModelSet;
    std::function<void()> restartCsvLog;
};

struct ApplyResult {
    ApplyPlan plan;
    // The running list and current camera index as they were before the take-over.
    settings::CameraList previousCameras{};
    int32_t previousCameraIndex = -1;
};

// Saves through the process-wide service channel.
bool SaveSettingsGroup(SettingsGroup group, const settings::SettingsState& running);

// Normalizes `copy`'s management group and applies the copy to g_Settings().
ApplyResult ApplySettingsCopy(settings::SettingsState& copy, const ApplyServices& services);

}  // namespace ui
