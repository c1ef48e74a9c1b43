#pragma once
// Purpose: applies the settings sheet's copy after OK: sends every changed group to the service,
//          then publishes the groups whose save succeeded and restarts what depends on them.
// Threads: the user-interface thread. No lock is held while the saves wait for the service:
//          readers keep taking snapshots of the settings as they ran before, and only after the
//          replies is the new set published, before the servers, the CSV log and the model set
//          restart, so that each restart reads what was applied.
// Owns: nothing; the hub and the services are the caller's.

#include "app/ui/settings_apply_plan.h"
#include "settings/settings_hub.h"

#include <functional>

namespace ui {

// Runs `saves` and returns once they are done.
using SaveRunner = std::function<void(const std::function<void()>& saves)>;

struct ApplyServices {
    // Saves one group with its values in `next`; false when the save failed (the save logs that
    // itself).
    std::function<bool(settings::Group group, const settings::SettingsState& next)> save;
    // Where the saves run; empty: on the calling thread.
    SaveRunner runSaves;
    // Stop the server if it runs and start it again when the settings allow it.
    std::function<void()> restartTcpServer;
    std::function<void()> restartUdpServer;
    std::function<void()> rebuildModelSet;
    std::function<void()> restartCsvLog;
};

struct ApplyResult {
    // What was applied: the planned groups whose save succeeded.
    ApplyPlan plan;
    // The running list and current camera index as they were just before the publish.
    settings::CameraList previousCameras{};
    int32_t previousCameraIndex = -1;
};

// Saves through the process-wide service channel.
bool SaveSettingsGroup(settings::Group group, const settings::SettingsState& next);

// Normalizes `copy`'s management group, compares it with the hub's current set, saves each
// changed group and publishes those that were saved: a group whose save failed keeps its running
// value, and what would restart only because of it does not.
ApplyResult ApplySettingsCopy(settings::SettingsHub& hub, settings::SettingsState& copy, const ApplyServices& services);

}  // namespace ui
