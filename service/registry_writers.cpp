#include "service/registry_writers.h"

#include "platform/autorun.h"
#include "platform/syserror.h"
#include "service/trusted_program.h"
#include "settings/channel_packet.h"
#include "settings/registry_names.h"

#include <initializer_list>

namespace service {

namespace ch = settings::channel;
namespace rn = settings::regnames;
using platform::RegistryStore;
using platform::RegType;

namespace {

// One value of a writer: its name, store type and where its data lies in the packet. Texts are
// fields of `chars` characters; doubles are the 8 bytes as they are.
struct ValueEntry {
    const QString& name;
    RegType type;
    size_t offset;
    size_t chars = 0;
};

ValueEntry Dword(const QString& name, size_t offset) { return {name, RegType::Dword, offset}; }
ValueEntry Text(const QString& name, size_t offset, size_t chars) { return {name, RegType::Sz, offset, chars}; }

int WriteValue(RegistryStore& store, const QString& key, const ValueEntry& entry, const ChannelArea& packet) {
    switch (entry.type) {
    case RegType::Dword:
        return store.SetDword(key, entry.name, packet.U32(entry.offset));
    case RegType::Sz:
        return store.SetString(key, entry.name, packet.Text(entry.offset, entry.chars));
    default: {
        QByteArray bytes(sizeof(double), '\0');
        packet.CopyOut(entry.offset, bytes.data(), sizeof(double));
        return store.SetBinary(key, entry.name, bytes);
    }
    }
}

// Creates or opens the key and writes the values in order, stopping at the first failure.
int WriteValues(RegistryStore& store, const QString& key, std::initializer_list<ValueEntry> entries,
                const ChannelArea& packet) {
    if (const int rc = store.CreateKey(key); rc != platform::kErrorSuccess) return rc;
    for (const ValueEntry& entry : entries)
        if (const int rc = WriteValue(store, key, entry, packet); rc != platform::kErrorSuccess) return rc;
    return platform::kErrorSuccess;
}

// Deletes the key with everything below it (a missing key is no error) and creates it empty.
int RecreateKey(RegistryStore& store, const QString& key) {
    const int deleted = store.DeleteTree(key);
    if (deleted != platform::kErrorSuccess && deleted != platform::kErrorFileNotFound) return deleted;
    return store.CreateKey(key);
}

QString SubkeyOf(const QString& parent, const ChannelArea& packet, size_t offset, size_t chars) {
    return parent + QLatin1Char('\\') + packet.Text(offset, chars);
}

// Whether `count` NUL-terminated stations lie within the string area of the payload.
bool StationsFit(const ChannelArea& packet, uint32_t count) {
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        for (;;) {
            if (at >= ch::management::kStationChars) return false;
            if (packet.U16(ch::management::kStations + 2 * at++) == 0) break;
        }
    }
    return true;
}

}  // namespace

int SaveAutoRunToRegistry(const ChannelArea& packet) {
    if (packet.U32(ch::autorun::kFlag) == 0) return platform::DeleteAutorun();
    // Every desktop login would run what the entry names: only the program itself.
    const QString path = packet.Text(ch::autorun::kPath, ch::autorun::kPathChars);
    if (const int rc = CheckTrustedProgramFile(path, "SaveAutoRunToRegistry"); rc != platform::kErrorSuccess) return rc;
    return platform::SetAutorun(path);
}

int SaveCameraListToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace cam = ch::camera;
    namespace names = rn::camera;
    const uint32_t count = packet.U32(ch::camera_list::kCount);
    // More cameras than the payload holds: refuse before the old list is touched.
    if (count > ch::camera_list::kSlots) return platform::kErrorInvalidParameter;
    if (const int rc = RecreateKey(store, rn::kCameraKey); rc != platform::kErrorSuccess) return rc;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t base = ch::camera_list::kRecords + i * ch::camera_list::kRecordSize;
        const QString key = rn::NumberedKey(rn::kCameraKey, static_cast<int>(i));
        int rc = WriteValues(
            store, key,
            {Dword(names::kType, base + cam::kType), Text(names::kName, base + cam::kName, cam::kNameChars),
             Dword(names::kRotationFlag, base + cam::kRotationFlag), Dword(names::kMirroring, base + cam::kMirroring)},
            packet);
        if (rc != platform::kErrorSuccess) return rc;
        if (packet.U32(base + cam::kType) == 0) {
            rc = WriteValues(store, key,
                             {Dword(names::kCaptureDeviceNumber, base + cam::kCaptureDeviceNumber),
                              Text(names::kDevicePath, base + cam::kDevicePath, cam::kDevicePathChars),
                              Dword(names::kPreferredResolutionWidth, base + cam::kPreferredWidth),
                              Dword(names::kPreferredResolutionHeight, base + cam::kPreferredHeight)},
                             packet);
        } else {
            rc = WriteValues(store, key, {Text(names::kUrl, base + cam::kUrl, cam::kUrlChars)}, packet);
        }
        if (rc != platform::kErrorSuccess) return rc;
    }
    return platform::kErrorSuccess;
}

int SaveCamerasExtParamToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::cameras_ext;
    return WriteValues(store, rn::kAppKey,
                       {Dword(rn::app::kAutoStartLastCamera, f::kAutoStartLastCamera),
                        Dword(rn::app::kWaitConnectionTime, f::kWaitConnectionTime),
                        Dword(rn::app::kWaitNewFrameTime, f::kWaitNewFrameTime)},
                       packet);
}

int SaveMaximizedToRegistry(RegistryStore& store, const ChannelArea& packet) {
    return WriteValues(store, rn::kAppKey, {Dword(rn::app::kMaximized, ch::kSingleValue)}, packet);
}

int SaveWindowRectToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::window_rect;
    return WriteValues(store, rn::kAppKey,
                       {Dword(rn::app::kScreenX, f::kX), Dword(rn::app::kScreenY, f::kY),
                        Dword(rn::app::kWidth, f::kWidth), Dword(rn::app::kHeight, f::kHeight)},
                       packet);
}

int SaveDivProportionToRegistry(RegistryStore& store, const ChannelArea& packet, const QString& valueName) {
    return WriteValues(store, rn::kAppKey, {{valueName, RegType::Binary, ch::kSingleValue}}, packet);
}

int SaveCurrentCameraIndexToRegistry(RegistryStore& store, const ChannelArea& packet) {
    return WriteValues(store, rn::kAppKey, {Dword(rn::app::kCurrentCameraIndex, ch::kSingleValue)}, packet);
}

int SaveDbConnectionStringToRegistry(RegistryStore& store, const ChannelArea& packet) {
    return WriteValues(store, rn::kAppKey,
                       {Text(rn::app::kDbConnectionString, ch::db_connection::kText, ch::db_connection::kChars)},
                       packet);
}

int SaveCameraViewFeaturesToRegistry(RegistryStore& store, const ChannelArea& packet) {
    return WriteValues(store, rn::kAppKey, {Dword(rn::app::kFramedFace, ch::kSingleValue)}, packet);
}

int SaveAlertsToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::alert;
    namespace names = rn::alert;
    if (const int rc = RecreateKey(store, rn::kAlertsKey); rc != platform::kErrorSuccess) return rc;
    for (size_t i = 0; i < ch::alerts::kCount; ++i) {
        const size_t base = ch::alerts::kRecords + i * ch::alerts::kRecordSize;
        const int rc = WriteValues(
            store, rn::NumberedKey(rn::kAlertsKey, static_cast<int>(i)),
            {Dword(names::kPlayWav, base + f::kPlayWav), Text(names::kWavFile, base + f::kWavFile, f::kWavFileChars),
             Text(names::kSpeech, base + f::kSpeech, f::kSpeechChars), Dword(names::kCsv, base + f::kCsv),
             Dword(names::kScript, base + f::kScript), Dword(names::kScriptType, base + f::kScriptType),
             Text(names::kScriptFile, base + f::kScriptFile, f::kScriptFileChars),
             Dword(names::kSendMail, base + f::kSendMail),
             Text(names::kRecepients, base + f::kRecepients, f::kRecepientsChars),
             Text(names::kSubjectFormat, base + f::kSubjectFormat, f::kSubjectChars),
             Text(names::kBodyFormat, base + f::kBodyFormat, f::kBodyChars)},
            packet);
        if (rc != platform::kErrorSuccess) return rc;
    }
    return platform::kErrorSuccess;
}

int SaveCsvFormatToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::csv;
    const QString key = SubkeyOf(rn::kCsvKey, packet, f::kSubkey, f::kSubkeyChars);
    if (const int rc = RecreateKey(store, key); rc != platform::kErrorSuccess) return rc;
    return WriteValues(
        store, key,
        {Text(rn::csv::kFolder, f::kFolder, f::kFolderChars), Dword(rn::csv::kRotatesNumber, f::kRotatesNumber),
         Dword(rn::csv::kSizeLimitMB, f::kSizeLimitMB), Dword(rn::csv::kEncode, f::kEncode),
         Dword(rn::csv::kDelimiter, f::kDelimiter), Dword(rn::csv::kUseHeader, f::kUseHeader)},
        packet);
}

int SaveScriptFormatToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::script;
    const QString key = SubkeyOf(rn::kScriptKey, packet, f::kSubkey, f::kSubkeyChars);
    if (const int rc = RecreateKey(store, key); rc != platform::kErrorSuccess) return rc;
    return WriteValues(store, key,
                       {Dword(rn::script::kTimeout, f::kTimeout), Dword(rn::script::kAllowUI, f::kAllowUI),
                        Dword(rn::script::kImgFileFormat, f::kImgFileFormat)},
                       packet);
}

int SaveManagementServerSettingsToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::management;
    const uint32_t count = packet.U32(f::kStationCount);
    // A count beyond the packed strings would read past the payload: refuse the whole packet.
    if (!StationsFit(packet, count)) return platform::kErrorInvalidParameter;
    if (const int rc = store.CreateKey(rn::kAppKey); rc != platform::kErrorSuccess) return rc;

    // The station list is rebuilt even when a single value failed; the first failure is reported.
    int result =
        WriteValues(store, rn::kAppKey,
                    {Dword(rn::app::kAllowManagement, f::kAllowManagement), Dword(rn::app::kTcpPort, f::kTcpPort),
                     Dword(rn::app::kAllowUdpLocation, f::kAllowUdpLocation), Dword(rn::app::kUdpPort, f::kUdpPort),
                     Text(rn::app::kPassword, f::kPassword, f::kPasswordChars),
                     Dword(rn::app::kAcceptConnectionFlag, f::kAcceptConnectionFlag)},
                    packet);
    if (const int rc = RecreateKey(store, rn::kAllowedStationKey); rc != platform::kErrorSuccess)
        return result != platform::kErrorSuccess ? result : rc;
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t chars = f::kStationChars - at;
        const QString station = packet.Text(f::kStations + 2 * at, chars);
        at += static_cast<size_t>(station.size()) + 1;
        if (const int rc = store.SetString(rn::kAllowedStationKey, QString::number(i), station);
            rc != platform::kErrorSuccess) {
            if (result == platform::kErrorSuccess) result = rc;
            break;
        }
    }
    return result;
}

int SaveDbWinSettingsToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::db_win;
    return WriteValues(store, rn::kAppKey,
                       {Dword(rn::app::kWhiteList, f::kWhiteList), Dword(rn::app::kBlackList, f::kBlackList),
                        Dword(rn::app::kGrayList, f::kGrayList)},
                       packet);
}

int SaveRecognitionSettingsToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::recognition;
    return WriteValues(
        store, rn::kAppKey,
        {Dword(rn::app::kMaxSubject, f::kMaxSubject), Dword(rn::app::kLikelyDistance, f::kLikelyDistance),
         Dword(rn::app::kAssuranceDistance, f::kAssuranceDistance),
         Dword(rn::app::kRepeatForRecognition, f::kRepeatForRecognition),
         Dword(rn::app::kRememberRecognized, f::kRememberRecognized),
         Dword(rn::app::kShortInvisibility, f::kShortInvisibility)},
        packet);
}

int SaveSmtpSettingsToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::smtp;
    namespace names = rn::smtp;
    return WriteValues(
        store, rn::kSmtpKey,
        {Text(names::kServer, f::kServer, f::kServerChars), Dword(names::kServerPort, f::kPort),
         Dword(names::kUseSsl, f::kUseSsl), Text(names::kOriginator, f::kOriginator, f::kOriginatorChars),
         Dword(names::kAuthRequired, f::kAuthRequired), Text(names::kUserName, f::kUserName, f::kUserNameChars),
         Text(names::kPassword, f::kPassword, f::kPasswordChars),
         Text(names::kRecepients, f::kRecepients, f::kRecepientsChars)},
        packet);
}

int SaveUPActionSetToRegistry(RegistryStore& store, const ChannelArea& packet) {
    namespace f = ch::up_actions;
    namespace names = rn::alert;
    return WriteValues(
        store, rn::kUPActionsKey,
        {Dword(names::kScript, f::kScript), Dword(names::kScriptType, f::kScriptType),
         Text(names::kScriptFile, f::kScriptFile, f::kScriptFileChars), Dword(names::kSendMail, f::kSendMail),
         Text(names::kRecepients, f::kRecepients, f::kRecepientsChars),
         Text(names::kSubjectFormat, f::kSubjectFormat, f::kSubjectChars),
         Text(names::kBodyFormat, f::kBodyFormat, f::kBodyChars)},
        packet);
}

}  // namespace service
