#pragma once
// The program's in-memory settings: one instance of every group, process-wide. Loaded once at
// start-up; afterwards changed by the user interface, each change followed by the save of its
// group through the service.

#include "platform/sync.h"
#include "settings/groups.h"

#include <QStringList>
#include <cstdint>

namespace settings {

constexpr int kDbConnectionStringChars = 1024;

struct SettingsState {
    int32_t Maximized = 0;
    WindowPos windowPos{};
    double PanelDivProportion = 0;
    double LeftPanelDivProportion = 0;
    double DbDivProportion = 0;
    DbWinSettings dbWin{};
    CameraList cameraList{};
    int32_t CurrentCameraIndex = -1;
    RecognitionSettings recognition{};
    SmtpSettings smtp{};
    Alerts alerts{};
    UPActionSet upActions{};
    CsvFormat csvFormat{};
    ScriptFormat scriptRecognized{};
    ScriptFormat scriptUnrecognized{};
    ManagementServerSettings management{};
    // Allowed management stations, sorted by UTF-16 code units.
    QStringList stations;
    CamerasExtParam camerasExt{};
    CameraViewFeatures viewFeatures{};
    char16_t DbConnectionString[kDbConnectionStringChars]{};
    bool AutoRun = false;
};

// The process-wide settings. Worker threads that read a group take SettingsLock() for the time
// of the read; the settings sheet holds it while it replaces groups.
SettingsState& g_Settings();
platform::CriticalSection& SettingsLock();

}  // namespace settings
