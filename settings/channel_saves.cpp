#include "settings/channel_saves.h"

#include "platform/paths.h"
#include "settings/registry_names.h"
#include "settings/svc_channel.h"

#include <algorithm>
#include <bit>
#include <cstddef>

namespace settings {

using namespace channel;

// The groups are copied into the payload byte for byte; their pinned layouts are little-endian.
static_assert(std::endian::native == std::endian::little);

namespace {

enum class Clearing { None, WholePacket };

struct SavePacket {
    const char* operation;
    PacketType type;
    uint32_t payloadSize;
    Clearing clearing;
    QString successText;
    QString failurePrefix;
};

bool Save(const SavePacket& packet, std::function<void(ChannelArea&)> writePayload) {
    const size_t clearBytes = packet.clearing == Clearing::WholePacket ? kPayloadOffset + packet.payloadSize : 0;
    return ExchangeOnProgramChannel({packet.operation, packet.type, packet.payloadSize, clearBytes, packet.successText,
                                     packet.failurePrefix, std::move(writePayload)});
}

template <typename Group>
bool SaveGroup(const SavePacket& packet, const Group& group) {
    return Save(packet, [&](ChannelArea& area) { area.CopyIn(kPayloadOffset, &group, sizeof group); });
}

QString Failure(const char* what) {
    return QStringLiteral("Error on saving %1 to registry: ").arg(QLatin1String(what));
}

QString Saved(const char* what) { return QStringLiteral("%1 saved to registry.").arg(QLatin1String(what)); }

bool SaveDouble(const char* operation, PacketType type, const char* name, double value) {
    return Save({operation, type, payload_size::kDouble, Clearing::None, Saved(name), Failure(name)},
                [&](ChannelArea& area) { area.SetF64(kSingleValue, value); });
}

// The CSV and script formats: the group with the subkey name it is stored under at its start.
template <typename Format>
bool SaveFormat(const char* operation, PacketType type, uint32_t payloadSize, const char* what, const Format& format,
                const QString& subkey) {
    static_assert(offsetof(Format, SubkeyName) == 0 && sizeof(Format::SubkeyName) == 2 * csv::kSubkeyChars);
    return Save({operation, type, payloadSize, Clearing::WholePacket,
                 QStringLiteral("%1 for %2 saved to registry.").arg(QLatin1String(what), subkey),
                 QStringLiteral("Error on saving %1 for %2 to registry: ").arg(QLatin1String(what), subkey)},
                [&](ChannelArea& area) {
                    area.CopyIn(kPayloadOffset, &format, sizeof format);
                    area.SetText(kPayloadOffset, csv::kSubkeyChars, subkey);
                });
}

}  // namespace

bool SaveAutoRun(bool autoRun) {
    return Save({"SaveAutoRun",
                 PacketType::AutoRunSettings,
                 payload_size::kAutoRun,
                 Clearing::WholePacket,
                 {},
                 Failure("AutoRun")},
                [&](ChannelArea& area) {
                    area.SetI32(autorun::kFlag, autoRun ? 1 : 0);
                    area.SetText(autorun::kPath, autorun::kPathChars, platform::ProgramFilePath());
                });
}

bool SaveCameraList(const CameraList& list) {
    return Save({"SaveCameraList", PacketType::CameraList, payload_size::kCameraList, Clearing::WholePacket,
                 Saved("CameraList"), Failure("CameraList")},
                [&](ChannelArea& area) {
                    area.CopyIn(camera_list::kRecords, list.Cameras, sizeof list.Cameras);
                    area.SetU32(camera_list::kCount, std::min<uint32_t>(list.Count, kMaxCameras));
                });
}

bool SaveCamerasExtParam(const CamerasExtParam& ext) {
    return SaveGroup({"SaveCamerasExtParam", PacketType::CamerasExtParam, payload_size::kCamerasExtParam,
                      Clearing::None, Saved("CamerasExtParam"), Failure("CamerasExtParam")},
                     ext);
}

bool SaveMaximized(int32_t maximized) {
    return SaveGroup({"SaveMaximized",
                      PacketType::AppWinowMaximizedState,
                      payload_size::kDword,
                      Clearing::None,
                      {},
                      Failure("SaveMaximized state")},
                     maximized);
}

bool SaveWindowPos(const WindowPos& pos) {
    return SaveGroup({"SaveWindowPos",
                      PacketType::AppWinowRect,
                      payload_size::kWindowRect,
                      Clearing::None,
                      {},
                      Failure("WindowPos")},
                     pos);
}

bool SavePanelDivProportion(double proportion) {
    return SaveDouble("SavePanelDivProportion", PacketType::PanelDivProportion, "PanelDivProportion", proportion);
}

bool SaveLeftPanelDivProportion(double proportion) {
    return SaveDouble("SaveLeftPanelDivProportion", PacketType::LeftPanelDivProportion, "LeftPanelDivProportion",
                      proportion);
}

bool SaveDbDivProportion(double proportion) {
    return SaveDouble("SaveDbDivProportion", PacketType::DbDivProportion, "DbDivProportion", proportion);
}

bool SaveCurrentCameraIndex(int32_t index) {
    return SaveGroup(
        {"SaveCurrentCameraIndex", PacketType::CurrentCameraIndex, payload_size::kDword, Clearing::None,
         QStringLiteral("CurrentCameraIndex=%1 saved to registry.").arg(index), Failure("CurrentCameraIndex")},
        index);
}

bool SaveDbConnectionString(QStringView connectionString) {
    return Save(
        {"SaveDbConnectionString", PacketType::DbConnectionString, payload_size::kDbConnectionString,
         Clearing::WholePacket, Saved("DbConnectionString"), Failure("DbConnectionString")},
        [&](ChannelArea& area) { area.SetText(db_connection::kText, db_connection::kChars, connectionString); });
}

bool SaveCameraViewFeatures(const CameraViewFeatures& features) {
    return SaveGroup({"SaveCameraViewFeatures", PacketType::CameraViewFeatures, payload_size::kDword, Clearing::None,
                      Saved("CameraViewFeatures"), Failure("CameraViewFeatures")},
                     features);
}

bool SaveSaveAlerts(const Alerts& alerts) {
    return SaveGroup({"SaveSaveAlerts", PacketType::Alerts, payload_size::kAlerts, Clearing::WholePacket,
                      Saved("Alerts"), Failure("SaveAlerts")},
                     alerts);
}

bool SaveCSVFormat(const CsvFormat& format) {
    return SaveFormat("SaveCSVFormat", PacketType::CsvFormat, payload_size::kCsvFormat, "CSV Format", format,
                      regnames::kRecognizedPersons);
}

bool SaveScriptFormat(const ScriptFormat& format, const QString& subkey) {
    return SaveFormat("SaveScriptFormat", PacketType::ScriptFormat, payload_size::kScriptFormat, "Script Format",
                      format, subkey);
}

uint32_t PackStationList(const QStringList& stations, ChannelArea& area) {
    size_t used = 0;
    uint32_t count = 0;
    for (const QString& station : stations) {
        const auto length = static_cast<size_t>(station.size());
        if (used + length > management::kStationChars - 1) break;
        area.SetText(management::kStations + 2 * used, length + 1, station);
        used += length + 1;
        ++count;
    }
    area.SetU32(management::kStationCount, count);
    return count;
}

bool SaveManagementServerSettings(const ManagementServerSettings& management, const QStringList& stations) {
    return Save({"SaveManagementServerSettings",
                 PacketType::ManagementServerSettings,
                 payload_size::kManagementServerSettings,
                 Clearing::WholePacket,
                 {},
                 Failure("ManagementServerSettings")},
                [&](ChannelArea& area) {
                    area.CopyIn(kPayloadOffset, &management, sizeof management);
                    PackStationList(stations, area);
                });
}

bool SaveDbWinSettings(const DbWinSettings& lists) {
    return SaveGroup({"SaveDbWinSettings", PacketType::DbWinSettings, payload_size::kDbWinSettings, Clearing::None,
                      Saved("DbWinSettings"), Failure("DbWinSettings")},
                     lists);
}

bool SaveRecognitionSettings(const RecognitionSettings& recognition) {
    return SaveGroup({"SaveRecognitionSettings", PacketType::RecognitionSettings, payload_size::kRecognitionSettings,
                      Clearing::None, Saved("RecognitionSettings"), Failure("RecognitionSettings")},
                     recognition);
}

bool SaveSmtpSettings(const SmtpSettings& smtp) {
    return SaveGroup({"SaveSmtpSettings", PacketType::SmtpSettings, payload_size::kSmtpSettings, Clearing::WholePacket,
                      Saved("SmtpSettings"), Failure("SmtpSettings")},
                     smtp);
}

bool SaveUPActionSet(const UPActionSet& actions) {
    return SaveGroup({"SaveUPActionSet",
                      PacketType::UPActionSet,
                      payload_size::kUPActionSet,
                      Clearing::WholePacket,
                      {},
                      Failure("UPActionSet Settings")},
                     actions);
}

}  // namespace settings
