#pragma once
// Key and value names of the settings layout in the store. The program reads them and the
// service writes them, so both sides take the names from here.

#include <QString>

namespace settings::regnames {

inline const QString kAppKey = QStringLiteral("SOFTWARE\\Vektra\\Ostrovid");
inline const QString kCameraKey = kAppKey + QStringLiteral("\\Camera");
inline const QString kAlertsKey = kAppKey + QStringLiteral("\\Alerts");
inline const QString kUPActionsKey = kAppKey + QStringLiteral("\\UPActions");
inline const QString kSmtpKey = kAppKey + QStringLiteral("\\SMTP");
inline const QString kCsvKey = kAppKey + QStringLiteral("\\CSV");
inline const QString kScriptKey = kAppKey + QStringLiteral("\\Script");
inline const QString kAllowedStationKey = kAppKey + QStringLiteral("\\AllowedStation");

// Subkey names below CSV and Script.
inline const QString kRecognizedPersons = QStringLiteral("RecognizedPersons");
inline const QString kUnrecognizedPersons = QStringLiteral("UnrecognizedPersons");

// "%s\\%d": the numbered subkeys of Camera and Alerts.
inline QString NumberedKey(const QString& parent, int n) { return parent + QLatin1Char('\\') + QString::number(n); }

// Values of the application key.
namespace app {
inline const QString kMaximized = QStringLiteral("Maximized");
inline const QString kScreenX = QStringLiteral("ScreenX");
inline const QString kScreenY = QStringLiteral("ScreenY");
inline const QString kWidth = QStringLiteral("Width");
inline const QString kHeight = QStringLiteral("Height");
inline const QString kPanelDivProportion = QStringLiteral("PanelDivProportion");
inline const QString kLeftPanelDivProportion = QStringLiteral("LeftPanelDivProportion");
inline const QString kDbDivProportion = QStringLiteral("DbDivProportion");
inline const QString kWhiteList = QStringLiteral("WhiteList");
inline const QString kBlackList = QStringLiteral("BlackList");
inline const QString kGrayList = QStringLiteral("GrayList");
inline const QString kMaxSubject = QStringLiteral("MaxSubject");
inline const QString kLikelyDistance = QStringLiteral("LikelyDistance");
inline const QString kAssuranceDistance = QStringLiteral("AssuranceDistance");
inline const QString kRepeatForRecognition = QStringLiteral("RepeatForRecognition");
inline const QString kRememberRecognized = QStringLiteral("RememberRecognized");
inline const QString kShortInvisibility = QStringLiteral("ShortInvisibility");
inline const QString kCurrentCameraIndex = QStringLiteral("CurrentCameraIndex");
inline const QString kAutoStartLastCamera = QStringLiteral("AutoStartLastCamera");
inline const QString kWaitConnectionTime = QStringLiteral("WaitConnectionTime");
inline const QString kWaitNewFrameTime = QStringLiteral("WaitNewFrameTime");
inline const QString kFramedFace = QStringLiteral("FramedFace");
inline const QString kDbConnectionString = QStringLiteral("DbConnectionString");
inline const QString kAllowManagement = QStringLiteral("AllowManagement");
inline const QString kTcpPort = QStringLiteral("TcpPort");
inline const QString kAllowUdpLocation = QStringLiteral("AllowUdpLocation");
inline const QString kUdpPort = QStringLiteral("UdpPort");
inline const QString kPassword = QStringLiteral("Password");
inline const QString kAcceptConnectionFlag = QStringLiteral("AcceptConnectionFlag");
}  // namespace app

// Values of a numbered Camera subkey.
namespace camera {
inline const QString kType = QStringLiteral("Type");
inline const QString kName = QStringLiteral("Name");
inline const QString kRotationFlag = QStringLiteral("RotationFlag");
inline const QString kMirroring = QStringLiteral("Mirroring");
inline const QString kCaptureDeviceNumber = QStringLiteral("CaptureDeviceNumber");
inline const QString kDevicePath = QStringLiteral("DevicePath");
inline const QString kPreferredResolutionWidth = QStringLiteral("PreferredResolutionWidth");
inline const QString kPreferredResolutionHeight = QStringLiteral("PreferredResolutionHeight");
inline const QString kUrl = QStringLiteral("Url");
}  // namespace camera

// Values of the Alerts subkeys; UPActions uses the same names for its seven values.
namespace alert {
inline const QString kPlayWav = QStringLiteral("PlayWav");
inline const QString kWavFile = QStringLiteral("WavFile");
inline const QString kSpeech = QStringLiteral("Speech");
inline const QString kCsv = QStringLiteral("CSV");
inline const QString kScript = QStringLiteral("Script");
inline const QString kScriptType = QStringLiteral("ScriptType");
inline const QString kScriptFile = QStringLiteral("ScriptFile");
inline const QString kSendMail = QStringLiteral("SendMail");
inline const QString kRecepients = QStringLiteral("Recepients");
inline const QString kSubjectFormat = QStringLiteral("SubjectFormat");
inline const QString kBodyFormat = QStringLiteral("BodyFormat");
}  // namespace alert

namespace smtp {
inline const QString kServer = QStringLiteral("SMTPServer");
inline const QString kServerPort = QStringLiteral("SMTPServerPort");
inline const QString kUseSsl = QStringLiteral("SMTPUseSSL");
inline const QString kOriginator = QStringLiteral("Originator");
inline const QString kAuthRequired = QStringLiteral("SMTPAuthRequired");
inline const QString kUserName = QStringLiteral("SendUserName");
inline const QString kPassword = QStringLiteral("SendPassword");
inline const QString kRecepients = QStringLiteral("Recepients");
}  // namespace smtp

namespace csv {
inline const QString kFolder = QStringLiteral("Folder");
inline const QString kRotatesNumber = QStringLiteral("RotatesNumber");
inline const QString kSizeLimitMB = QStringLiteral("SizeLimitMB");
inline const QString kEncode = QStringLiteral("Encode");
inline const QString kDelimiter = QStringLiteral("Delimiter");
inline const QString kUseHeader = QStringLiteral("UseHeader");
}  // namespace csv

namespace script {
inline const QString kTimeout = QStringLiteral("Timeout");
inline const QString kAllowUI = QStringLiteral("AllowUI");
inline const QString kImgFileFormat = QStringLiteral("ImgFileFormat");
}  // namespace script

}  // namespace settings::regnames
