#pragma once
// Purpose: the rules of the settings page "Камеры" without a display: which list commands the
//          selected row allows, the commands themselves on the sheet's copy, and the two IP camera
//          time limits.
// Threads: the user-interface thread.
// Owns: nothing; edits the sheet's copy it was given.

#include "app/ui/number_entry.h"
#include "settings/settings_state.h"

namespace ui {

enum class CameraListCommand { Edit, Delete, MoveUp, MoveDown };

class CamerasPageRules {
public:
    static constexpr int kWaitConnectionMin = 30;
    static constexpr int kWaitConnectionMax = 180;
    static constexpr int kWaitConnectionDigits = 3;
    static constexpr int kWaitNewFrameMin = 10;
    static constexpr int kWaitNewFrameMax = 30;
    static constexpr int kWaitNewFrameDigits = 2;

    explicit CamerasPageRules(settings::SettingsState& copy) : copy_(copy) {}

    // slot -1 means no row is selected.
    bool Allowed(CameraListCommand command, int slot) const;
    // Delete or move; the result is the row to select afterwards, -1 when nothing was done.
    int Run(CameraListCommand command, int slot);
    // A camera confirmed in the camera dialog for the slot (a new one at the first empty slot).
    bool StoreCamera(int slot, const settings::CameraDescriptor& camera);
    // The camera the dialog opens with: a copy of the slot's camera, or a new one.
    settings::CameraDescriptor CameraForEdit(int slot) const;

    void SetAutoStartLastCamera(bool on);
    NumberEntry SetWaitConnectionTime(const QString& text);
    NumberEntry SetWaitNewFrameTime(const QString& text);

private:
    settings::SettingsState& copy_;
};

}  // namespace ui
