#pragma once
// The save operations: each hands one settings group to OstrovidSvc as one packet over the
// process-wide channel (svc_channel.h), waits for the reply and logs the outcome itself. True when
// the service stored the group; false on its failure reply or when the program is closing.

#include "settings/channel_area.h"
#include "settings/groups.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>

namespace settings {

// Sets (true) or removes (false) the program's start at logon; the path is this program file.
bool SaveAutoRun(bool autoRun);
// All ten slots travel whatever the count; a count above ten is sent as ten.
bool SaveCameraList(const CameraList& list);
bool SaveCamerasExtParam(const CamerasExtParam& ext);
bool SaveMaximized(int32_t maximized);
bool SaveWindowPos(const WindowPos& pos);
bool SavePanelDivProportion(double proportion);
bool SaveLeftPanelDivProportion(double proportion);
bool SaveCurrentCameraIndex(int32_t index);
bool SaveDbConnectionString(QStringView connectionString);
bool SaveCameraViewFeatures(const CameraViewFeatures& features);
bool SaveSaveAlerts(const Alerts& alerts);
// Always stores below CSV\RecognizedPersons, whatever subkey the record names.
bool SaveCSVFormat(const CsvFormat& format);
// subkey: "RecognizedPersons" or "UnrecognizedPersons".
bool SaveScriptFormat(const ScriptFormat& format, const QString& subkey);
bool SaveManagementServerSettings(const ManagementServerSettings& management, const QStringList& stations);
bool SaveDbDivProportion(double proportion);
bool SaveDbWinSettings(const DbWinSettings& lists);
bool SaveRecognitionSettings(const RecognitionSettings& recognition);
bool SaveSmtpSettings(const SmtpSettings& smtp);
bool SaveUPActionSet(const UPActionSet& actions);

// Packs the stations, in list order, as consecutive NUL-terminated strings into the string area
// of the management payload, stopping before the first one that does not fit into 32767
// characters; writes and returns the number packed. The area must have been cleared.
uint32_t PackStationList(const QStringList& stations, channel::ChannelArea& area);

}  // namespace settings
