#pragma once
// The in-memory settings groups. Each record has exactly the byte layout of the payload of the
// packet that saves it, so a save copies the record into the channel area unchanged; the
// static_asserts below pin every field offset.

#include <cstddef>
#include <cstdint>

namespace settings {

constexpr int kMaxCameras = 10;
constexpr int kAlertCount = 4;
constexpr int kStationAreaChars = 32768;

struct WindowPos {
    int32_t ScreenX;
    int32_t ScreenY;
    int32_t Width;
    int32_t Height;
};

struct CameraDescriptor {
    int32_t Type;  // 0 web camera, 1 IP camera
    char16_t Name[64];
    union {
        char16_t Url[2084];
        struct {
            int32_t CaptureDeviceNumber;
            char16_t DevicePath[260];
            int32_t PreferredResolutionWidth;
            int32_t PreferredResolutionHeight;
        } Web;
    } Source;
    int32_t RotationFlag;
    int32_t Mirroring;
    int32_t InUse;
};

struct CameraList {
    uint32_t Count;
    CameraDescriptor Cameras[kMaxCameras];
};

struct CamerasExtParam {
    int32_t AutoStartLastCamera;
    int32_t WaitConnectionTime;
    int32_t WaitNewFrameTime;
};

struct AlertSettings {
    int32_t PlayWav;
    char16_t WavFile[260];
    char16_t Speech[256];
    int32_t CSV;
    int32_t Script;
    int32_t ScriptType;
    char16_t ScriptFile[260];
    int32_t SendMail;
    char16_t Recepients[2048];
    char16_t SubjectFormat[1024];
    char16_t BodyFormat[2048];
};

struct Alerts {
    AlertSettings Items[kAlertCount];
};

struct CsvFormat {
    char16_t SubkeyName[64];
    char16_t Folder[272];
    int32_t RotatesNumber;
    int32_t SizeLimitMB;
    int32_t Encode;
    int32_t Delimiter;
    int32_t UseHeader;
};

struct ScriptFormat {
    char16_t SubkeyName[64];
    int32_t Timeout;
    int32_t AllowUI;
    int32_t ImgFileFormat;
};

// The fixed part of the management payload; the station list itself is kept as a sorted
// QStringList and packed into the string area only when sent (station_list.h).
struct ManagementServerSettings {
    int32_t AllowManagement;
    uint32_t TcpPort;
    int32_t AllowUdpLocation;
    uint32_t UdpPort;
    char16_t Password[16];
    int32_t AcceptConnectionFlag;
};

// The payload as it travels: the fixed part, the station count and the packed strings.
struct ManagementServerPayload {
    ManagementServerSettings Fixed;
    uint32_t StationCount;
    char16_t Stations[kStationAreaChars];
};

struct CameraViewFeatures {
    int32_t FramedFace;
};

struct DbWinSettings {
    int32_t WhiteList;
    int32_t BlackList;
    int32_t GrayList;
};

struct RecognitionSettings {
    uint32_t MaxSubject;
    uint32_t LikelyDistance;
    uint32_t AssuranceDistance;
    uint32_t RepeatForRecognition;
    uint32_t RememberRecognized;
    int32_t ShortInvisibility;
};

#pragma pack(push, 2)
struct SmtpSettings {
    char16_t SMTPServer[256];
    uint32_t SMTPServerPort;
    int32_t SMTPUseSSL;
    char16_t Originator[320];
    int32_t SMTPAuthRequired;
    char16_t SendUserName[320];
    char16_t SendPassword[255];
    char16_t Recepients[2048];
};
#pragma pack(pop)

struct UPActionSet {
    int32_t Script;
    int32_t ScriptType;
    char16_t ScriptFile[260];
    int32_t SendMail;
    char16_t Recepients[2048];
    char16_t SubjectFormat[1024];
    char16_t BodyFormat[2048];
};

// Offsets in the tables of the channel are from the start of the area; payloads start at 8.
#define OSTROVID_AT(T, f, areaOffset) static_assert(offsetof(T, f) == (areaOffset)-8, #T "." #f)

OSTROVID_AT(WindowPos, ScreenX, 8);
OSTROVID_AT(WindowPos, ScreenY, 12);
OSTROVID_AT(WindowPos, Width, 16);
OSTROVID_AT(WindowPos, Height, 20);
static_assert(sizeof(WindowPos) == 16);

static_assert(offsetof(CameraDescriptor, Type) == 0);
static_assert(offsetof(CameraDescriptor, Name) == 4);
static_assert(offsetof(CameraDescriptor, Source) == 132);
static_assert(offsetof(CameraDescriptor, Source.Url) == 132);
static_assert(offsetof(CameraDescriptor, Source.Web.CaptureDeviceNumber) == 132);
static_assert(offsetof(CameraDescriptor, Source.Web.DevicePath) == 136);
static_assert(offsetof(CameraDescriptor, Source.Web.PreferredResolutionWidth) == 656);
static_assert(offsetof(CameraDescriptor, Source.Web.PreferredResolutionHeight) == 660);
static_assert(offsetof(CameraDescriptor, RotationFlag) == 4300);
static_assert(offsetof(CameraDescriptor, Mirroring) == 4304);
static_assert(offsetof(CameraDescriptor, InUse) == 4308);
static_assert(sizeof(CameraDescriptor) == 4312);

OSTROVID_AT(CameraList, Count, 8);
OSTROVID_AT(CameraList, Cameras, 12);
static_assert(sizeof(CameraList) == 43124);

OSTROVID_AT(CamerasExtParam, AutoStartLastCamera, 8);
OSTROVID_AT(CamerasExtParam, WaitConnectionTime, 12);
OSTROVID_AT(CamerasExtParam, WaitNewFrameTime, 16);
static_assert(sizeof(CamerasExtParam) == 12);

static_assert(offsetof(AlertSettings, PlayWav) == 0);
static_assert(offsetof(AlertSettings, WavFile) == 4);
static_assert(offsetof(AlertSettings, Speech) == 524);
static_assert(offsetof(AlertSettings, CSV) == 1036);
static_assert(offsetof(AlertSettings, Script) == 1040);
static_assert(offsetof(AlertSettings, ScriptType) == 1044);
static_assert(offsetof(AlertSettings, ScriptFile) == 1048);
static_assert(offsetof(AlertSettings, SendMail) == 1568);
static_assert(offsetof(AlertSettings, Recepients) == 1572);
static_assert(offsetof(AlertSettings, SubjectFormat) == 5668);
static_assert(offsetof(AlertSettings, BodyFormat) == 7716);
static_assert(sizeof(AlertSettings) == 11812);
static_assert(sizeof(Alerts) == 47248);

OSTROVID_AT(CsvFormat, SubkeyName, 8);
OSTROVID_AT(CsvFormat, Folder, 136);
OSTROVID_AT(CsvFormat, RotatesNumber, 680);
OSTROVID_AT(CsvFormat, SizeLimitMB, 684);
OSTROVID_AT(CsvFormat, Encode, 688);
OSTROVID_AT(CsvFormat, Delimiter, 692);
OSTROVID_AT(CsvFormat, UseHeader, 696);
static_assert(sizeof(CsvFormat) == 692);

OSTROVID_AT(ScriptFormat, SubkeyName, 8);
OSTROVID_AT(ScriptFormat, Timeout, 136);
OSTROVID_AT(ScriptFormat, AllowUI, 140);
OSTROVID_AT(ScriptFormat, ImgFileFormat, 144);
static_assert(sizeof(ScriptFormat) == 140);

OSTROVID_AT(ManagementServerSettings, AllowManagement, 8);
OSTROVID_AT(ManagementServerSettings, TcpPort, 12);
OSTROVID_AT(ManagementServerSettings, AllowUdpLocation, 16);
OSTROVID_AT(ManagementServerSettings, UdpPort, 20);
OSTROVID_AT(ManagementServerSettings, Password, 24);
OSTROVID_AT(ManagementServerSettings, AcceptConnectionFlag, 56);
static_assert(sizeof(ManagementServerSettings) == 52);
OSTROVID_AT(ManagementServerPayload, StationCount, 60);
OSTROVID_AT(ManagementServerPayload, Stations, 64);
static_assert(sizeof(ManagementServerPayload) == 65592);

OSTROVID_AT(CameraViewFeatures, FramedFace, 8);
static_assert(sizeof(CameraViewFeatures) == 4);

OSTROVID_AT(DbWinSettings, WhiteList, 8);
OSTROVID_AT(DbWinSettings, BlackList, 12);
OSTROVID_AT(DbWinSettings, GrayList, 16);
static_assert(sizeof(DbWinSettings) == 12);

OSTROVID_AT(RecognitionSettings, MaxSubject, 8);
OSTROVID_AT(RecognitionSettings, LikelyDistance, 12);
OSTROVID_AT(RecognitionSettings, AssuranceDistance, 16);
OSTROVID_AT(RecognitionSettings, RepeatForRecognition, 20);
OSTROVID_AT(RecognitionSettings, RememberRecognized, 24);
OSTROVID_AT(RecognitionSettings, ShortInvisibility, 28);
static_assert(sizeof(RecognitionSettings) == 24);

OSTROVID_AT(SmtpSettings, SMTPServer, 8);
OSTROVID_AT(SmtpSettings, SMTPServerPort, 520);
OSTROVID_AT(SmtpSettings, SMTPUseSSL, 524);
OSTROVID_AT(SmtpSettings, Originator, 528);
OSTROVID_AT(SmtpSettings, SMTPAuthRequired, 1168);
OSTROVID_AT(SmtpSettings, SendUserName, 1172);
OSTROVID_AT(SmtpSettings, SendPassword, 1812);
OSTROVID_AT(SmtpSettings, Recepients, 2322);
static_assert(sizeof(SmtpSettings) == 6410);

OSTROVID_AT(UPActionSet, Script, 8);
OSTROVID_AT(UPActionSet, ScriptType, 12);
OSTROVID_AT(UPActionSet, ScriptFile, 16);
OSTROVID_AT(UPActionSet, SendMail, 536);
OSTROVID_AT(UPActionSet, Recepients, 540);
OSTROVID_AT(UPActionSet, SubjectFormat, 4636);
OSTROVID_AT(UPActionSet, BodyFormat, 6684);
static_assert(sizeof(UPActionSet) == 10772);

#undef OSTROVID_AT

}  // namespace settings
