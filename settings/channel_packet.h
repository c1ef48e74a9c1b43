#pragma once
// The packet that the program writes into the shared area for the service and the reply the
// service leaves in its place. All offsets are bytes from the start of the area; integers are
// 32-bit little-endian, texts UTF-16 with a NUL inside fixed fields counted in characters.

#include <cstddef>
#include <cstdint>

namespace settings::channel {

// Names of the shared objects (the platform layer adds the namespace prefix).
inline constexpr const char* kMapFileName = "OSTROVID_2_SVC_MAP_FILE";
inline constexpr const char* kRequestEventName = "OSTROVID_2_SVC_EVENT";
inline constexpr const char* kReplyEventName = "OSTROVID_SVC_READY_EVENT";
inline constexpr const char* kServiceMutexName = "OSTROVID_SVC_MUTEX";
inline constexpr const char* kAppMutexName = "OSTROVID_APP_MUTEX";
// The service's socket that a program asking for a connection reset connects to first.
inline constexpr const char* kCloseSocketName = "OSTROVID_SVC_CLOSE_SOCKET";

inline constexpr size_t kAreaSize = 0x20000;

// Header of a request and of its reply.
inline constexpr size_t kTypeOffset = 0;
inline constexpr size_t kPayloadSizeOffset = 4;
inline constexpr size_t kPayloadOffset = 8;
inline constexpr size_t kResultOffset = 0;
inline constexpr size_t kFailureKindOffset = 4;
inline constexpr size_t kErrorTextOffset = 8;
inline constexpr size_t kErrorTextChars = 256;
// Bytes cleared before a failure reply is written.
inline constexpr size_t kReplyClearBytes = 1024;

inline constexpr uint32_t kResultSuccess = 0;
inline constexpr uint32_t kResultFailure = 1;
inline constexpr uint32_t kFailureUnknownType = 1;
inline constexpr uint32_t kFailureErrorText = 2;

enum class PacketType : uint32_t {
    AutoRunSettings = 1,
    CloseTcpSocket = 2,
    CameraList = 3,
    CamerasExtParam = 4,
    AppWinowMaximizedState = 5,
    AppWinowRect = 6,
    PanelDivProportion = 7,
    LeftPanelDivProportion = 8,
    CurrentCameraIndex = 9,
    DbConnectionString = 12,
    CameraViewFeatures = 13,
    Alerts = 14,
    CsvFormat = 15,
    ScriptFormat = 16,
    ManagementServerSettings = 17,
    DbDivProportion = 18,
    DbWinSettings = 19,
    RecognitionSettings = 20,
    SmtpSettings = 21,
    UPActionSet = 22,
};

// Payload sizes as the header announces them.
namespace payload_size {
inline constexpr uint32_t kAutoRun = 524;
inline constexpr uint32_t kCloseTcpSocket = 12;
inline constexpr uint32_t kCameraList = 43124;
inline constexpr uint32_t kCamerasExtParam = 12;
inline constexpr uint32_t kDword = 4;
inline constexpr uint32_t kWindowRect = 16;
inline constexpr uint32_t kDouble = 8;
inline constexpr uint32_t kDbConnectionString = 2048;
inline constexpr uint32_t kAlerts = 47248;
inline constexpr uint32_t kCsvFormat = 692;
inline constexpr uint32_t kScriptFormat = 140;
inline constexpr uint32_t kManagementServerSettings = 65592;
inline constexpr uint32_t kDbWinSettings = 12;
inline constexpr uint32_t kRecognitionSettings = 24;
inline constexpr uint32_t kSmtpSettings = 6410;
inline constexpr uint32_t kUPActionSet = 10772;
}  // namespace payload_size

// Field offsets from the start of the area.
namespace autorun {
inline constexpr size_t kFlag = 8, kPath = 12, kPathChars = 260;
}
namespace close_tcp {
inline constexpr size_t kPid = 8, kAddress = 12, kPort = 16;
}
namespace camera_list {
inline constexpr size_t kCount = 8, kRecords = 12, kRecordSize = 4312, kSlots = 10;
inline constexpr size_t kClearBytes = 43132;
}  // namespace camera_list
// Offsets within one camera record.
namespace camera {
inline constexpr size_t kType = 0, kName = 4, kNameChars = 64;
inline constexpr size_t kUrl = 132, kUrlChars = 2084;
inline constexpr size_t kCaptureDeviceNumber = 132, kDevicePath = 136, kDevicePathChars = 260;
inline constexpr size_t kPreferredWidth = 656, kPreferredHeight = 660;
inline constexpr size_t kRotationFlag = 4300, kMirroring = 4304, kInUse = 4308;
}  // namespace camera
namespace cameras_ext {
inline constexpr size_t kAutoStartLastCamera = 8, kWaitConnectionTime = 12, kWaitNewFrameTime = 16;
}
namespace window_rect {
inline constexpr size_t kX = 8, kY = 12, kWidth = 16, kHeight = 20;
}
// Types 5, 7, 8, 9, 13 and 18 carry one value at the payload's start.
inline constexpr size_t kSingleValue = 8;
namespace db_connection {
inline constexpr size_t kText = 8, kChars = 1024;
}
namespace alerts {
inline constexpr size_t kRecords = 8, kRecordSize = 11812, kCount = 4;
}
// Offsets within one alert record.
namespace alert {
inline constexpr size_t kPlayWav = 0, kWavFile = 4, kWavFileChars = 260, kSpeech = 524, kSpeechChars = 256;
inline constexpr size_t kCsv = 1036, kScript = 1040, kScriptType = 1044, kScriptFile = 1048, kScriptFileChars = 260;
inline constexpr size_t kSendMail = 1568, kRecepients = 1572, kRecepientsChars = 2048;
inline constexpr size_t kSubjectFormat = 5668, kSubjectChars = 1024, kBodyFormat = 7716, kBodyChars = 2048;
}  // namespace alert
namespace csv {
inline constexpr size_t kSubkey = 8, kSubkeyChars = 64, kFolder = 136, kFolderChars = 272;
inline constexpr size_t kRotatesNumber = 680, kSizeLimitMB = 684, kEncode = 688, kDelimiter = 692, kUseHeader = 696;
inline constexpr size_t kClearBytes = 700;
}  // namespace csv
namespace script {
inline constexpr size_t kSubkey = 8, kSubkeyChars = 64, kTimeout = 136, kAllowUI = 140, kImgFileFormat = 144;
inline constexpr size_t kClearBytes = 148;
}  // namespace script
namespace management {
inline constexpr size_t kAllowManagement = 8, kTcpPort = 12, kAllowUdpLocation = 16, kUdpPort = 20;
inline constexpr size_t kPassword = 24, kPasswordChars = 16, kAcceptConnectionFlag = 56, kStationCount = 60;
inline constexpr size_t kStations = 64, kStationChars = 32768;
inline constexpr size_t kClearBytes = 65600;
}  // namespace management
namespace db_win {
inline constexpr size_t kWhiteList = 8, kBlackList = 12, kGrayList = 16;
}
namespace recognition {
inline constexpr size_t kMaxSubject = 8, kLikelyDistance = 12, kAssuranceDistance = 16;
inline constexpr size_t kRepeatForRecognition = 20, kRememberRecognized = 24, kShortInvisibility = 28;
}  // namespace recognition
namespace smtp {
inline constexpr size_t kServer = 8, kServerChars = 256, kPort = 520, kUseSsl = 524;
inline constexpr size_t kOriginator = 528, kOriginatorChars = 320, kAuthRequired = 1168;
inline constexpr size_t kUserName = 1172, kUserNameChars = 320, kPassword = 1812, kPasswordChars = 255;
inline constexpr size_t kRecepients = 2322, kRecepientsChars = 2048;
inline constexpr size_t kClearBytes = 6418;
}  // namespace smtp
namespace up_actions {
inline constexpr size_t kScript = 8, kScriptType = 12, kScriptFile = 16, kScriptFileChars = 260;
inline constexpr size_t kSendMail = 536, kRecepients = 540, kRecepientsChars = 2048;
inline constexpr size_t kSubjectFormat = 4636, kSubjectChars = 1024, kBodyFormat = 6684, kBodyChars = 2048;
inline constexpr size_t kClearBytes = 10780;
}  // namespace up_actions

}  // namespace settings::channel
