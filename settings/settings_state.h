#pragma once
// The program's in-memory settings: one instance of every group. Loaded once at start-up into
// the settings hub (settings_hub.h), which owns the running set; a change is published there as
// a new set, each change of a stored group following the save of that group through the service.

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

}  // namespace settings
