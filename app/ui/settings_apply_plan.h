#pragma once
// Purpose: what pressing OK on the settings sheet has to do, decided without a screen: which
//          groups differ from the running settings (in the order they are saved), the management
//          group as it is stored, which servers restart, and what becomes of the current camera.
// Threads: any; pure functions of their arguments.
// Owns: nothing.

#include "settings/settings_hub.h"
#include "settings/settings_state.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace ui {

enum class CsvChange { None, SettingsOnly, FileFormat };

struct ApplyPlan {
    // In the order the groups are saved and taken over.
    std::vector<settings::Group> groups;
    bool connectionStringChanged = false;
    bool cameraListChanged = false;
    CsvChange csv = CsvChange::None;
    bool restartTcp = false;
    bool restartUdp = false;

    bool Has(settings::Group group) const;
};

// The stored form of the management group: no discovery without management, no station filter
// without stations, no stations without the filter, the list in UTF-16 order, port 0 as 21077.
void NormalizeManagement(settings::ManagementServerSettings& management, QStringList& stations);

// Normalizes the copy's management group, then compares the copy with the running settings.
ApplyPlan PlanApply(const settings::SettingsState& running, settings::SettingsState& copy);

// The part of `plan` that the saved groups make: the other groups leave it, and with them what
// restarts only because of them.
ApplyPlan SavedPart(const ApplyPlan& plan, const std::vector<settings::Group>& saved);

// Copies every planned group from the copy into `next`, the set about to be published.
void TakeOver(const ApplyPlan& plan, const settings::SettingsState& copy, settings::SettingsState& next);

// True when two camera slots name the same source with the same rotation and mirroring; the name
// does not count.
bool SameCameraSource(const settings::CameraDescriptor& a, const settings::CameraDescriptor& b);

enum class CameraOutcome {
    Unaffected,    // no current camera, or the list did not change
    Deselect,      // the new list is empty
    FoundIdle,     // show the new name; save the index when it moved
    FoundRunning,  // deselect, select `index` again and start it
    Lost,          // save -1, stop, clear; then select `index` when >= 0 and start it if it ran
};

struct CameraDecision {
    CameraOutcome outcome = CameraOutcome::Unaffected;
    int index = -1;
    QString name;
    bool indexMoved = false;
};

// What a changed camera list does to the current camera: `current` is the slot it was chosen
// from (or the running camera's descriptor), `currentIndex` its index, -1 for none.
CameraDecision DecideCurrentCamera(const ApplyPlan& plan, const settings::CameraDescriptor& current, int currentIndex,
                                   bool running, const settings::CameraList& newList);

}  // namespace ui
