#include "platform/autorun.h"
#include "platform/paths.h"
#include "store_fixture.h"

#include <QFile>
#include <cmath>
#include <cstring>

namespace {

namespace rn = settings::regnames;
using platform::RegType;

QByteArray DoubleBytes(double value) { return QByteArray(reinterpret_cast<const char*>(&value), sizeof(value)); }

QString CameraKey(int n) { return rn::NumberedKey(rn::kCameraKey, n); }

class LoadSettings : public SettingsStore {
protected:
    void IpCamera(int n, uint32_t type, const QString& name, const QString& url) {
        const QString key = CameraKey(n);
        Dword(key, rn::camera::kType, type);
        Text(key, rn::camera::kName, name);
        Dword(key, rn::camera::kRotationFlag, 0);
        Dword(key, rn::camera::kMirroring, 0);
        Text(key, rn::camera::kUrl, url);
    }
};

TEST_F(LoadSettings, EmptyApplicationKeyGivesTheDefaultsAndAMissingKeyReadsNothing) {
    const settings::SettingsState& s = Load();
    EXPECT_EQ(s.Maximized, 0);
    EXPECT_EQ(s.windowPos.ScreenX, 10);
    EXPECT_EQ(s.windowPos.ScreenY, 10);
    EXPECT_EQ(s.windowPos.Width, 850);
    EXPECT_EQ(s.windowPos.Height, 650);
    EXPECT_EQ(s.PanelDivProportion, 0.35);
    EXPECT_EQ(s.LeftPanelDivProportion, 0.5);
    EXPECT_EQ(s.DbDivProportion, 0.35);
    EXPECT_EQ(s.dbWin.WhiteList + s.dbWin.BlackList + s.dbWin.GrayList, 3);
    EXPECT_EQ(s.recognition.MaxSubject, 8u);
    EXPECT_EQ(s.recognition.LikelyDistance, 35u);
    EXPECT_EQ(s.recognition.AssuranceDistance, 35u);
    EXPECT_EQ(s.recognition.RepeatForRecognition, 3u);
    EXPECT_EQ(s.recognition.RememberRecognized, 10u);
    EXPECT_EQ(s.recognition.ShortInvisibility, 0);
    EXPECT_EQ(s.cameraList.Count, 0u);
    EXPECT_EQ(s.CurrentCameraIndex, -1);
    EXPECT_EQ(s.camerasExt.AutoStartLastCamera, 0);
    EXPECT_EQ(s.camerasExt.WaitConnectionTime, 60);
    EXPECT_EQ(s.camerasExt.WaitNewFrameTime, 15);
    EXPECT_EQ(s.viewFeatures.FramedFace, 1);
    EXPECT_EQ(s.management.AllowManagement, 0);
    EXPECT_EQ(s.management.TcpPort, 21077u);
    EXPECT_EQ(s.management.UdpPort, 21077u);
    EXPECT_EQ(Str(s.management.Password), QString());
    EXPECT_EQ(s.management.AcceptConnectionFlag, 0);
    EXPECT_EQ(Str(s.csvFormat.Folder), QString());
    EXPECT_EQ(s.csvFormat.RotatesNumber, 1);
    EXPECT_EQ(s.csvFormat.SizeLimitMB, 5);
    EXPECT_EQ(s.csvFormat.Encode, 1);
    EXPECT_EQ(s.csvFormat.Delimiter, 0);
    EXPECT_EQ(s.csvFormat.UseHeader, 0);
    for (const settings::ScriptFormat* script : {&s.scriptRecognized, &s.scriptUnrecognized}) {
        EXPECT_EQ(script->Timeout, -1);
        EXPECT_EQ(script->AllowUI, 0);
        EXPECT_EQ(script->ImgFileFormat, 0);
    }
    EXPECT_EQ(Str(s.DbConnectionString), QString());
    EXPECT_FALSE(s.AutoRun);

    ASSERT_EQ(store.DeleteTree(QStringLiteral("SOFTWARE")), 0);
    const settings::SettingsState& untouched = Load();
    EXPECT_EQ(untouched.windowPos.Width, 0);
    EXPECT_EQ(untouched.recognition.MaxSubject, 0u);
    EXPECT_EQ(untouched.CurrentCameraIndex, -1);
    EXPECT_EQ(untouched.csvFormat.RotatesNumber, 0);
}

TEST_F(LoadSettings, NumbersAreClampedAsUnsignedAndThresholdsStayOrdered) {
    App(rn::app::kLikelyDistance, 30);
    App(rn::app::kAssuranceDistance, 45);
    App(rn::app::kMaxSubject, 0);
    App(rn::app::kRepeatForRecognition, uint32_t(-1));
    App(rn::app::kWaitConnectionTime, uint32_t(-5));
    App(rn::app::kWaitNewFrameTime, 3);
    const settings::SettingsState& s = Load();
    EXPECT_EQ(s.recognition.LikelyDistance, 30u);
    EXPECT_EQ(s.recognition.AssuranceDistance, 30u);
    EXPECT_EQ(s.recognition.MaxSubject, 1u);
    EXPECT_EQ(s.recognition.RepeatForRecognition, 10u);
    EXPECT_EQ(s.camerasExt.WaitConnectionTime, 180);
    EXPECT_EQ(s.camerasExt.WaitNewFrameTime, 10);

    App(rn::app::kLikelyDistance, 70);
    App(rn::app::kAssuranceDistance, 10);
    App(rn::app::kMaxSubject, 16);
    EXPECT_EQ(Load().recognition.LikelyDistance, 50u);
    EXPECT_EQ(state->recognition.AssuranceDistance, 15u);
    EXPECT_EQ(state->recognition.MaxSubject, 8u);

    for (auto [stored, loaded] : {std::pair{0u, 1u}, {1u, 1u}, {60u, 60u}, {61u, 60u}, {125u, 120u}, {3599u, 3540u}}) {
        App(rn::app::kRememberRecognized, stored);
        EXPECT_EQ(Load().recognition.RememberRecognized, loaded) << stored;
    }
}

TEST_F(LoadSettings, ValuesOfAnyTypeAreReadByteWiseButOnesTooLargeForTheFieldGetTheDefault) {
    // A single value's registry type plays no part; its size does.
    ASSERT_EQ(store.SetBinary(rn::kAppKey, rn::app::kWidth, QByteArray("\x20\x03\x00\x00", 4)), 0);
    ASSERT_EQ(store.SetBinary(rn::kAppKey, rn::app::kHeight, QByteArray(8, '\x01')), 0);
    ASSERT_EQ(store.SetBinary(rn::kAppKey, rn::app::kPanelDivProportion, DoubleBytes(0.1)), 0);
    ASSERT_EQ(store.SetBinary(rn::kAppKey, rn::app::kLeftPanelDivProportion, DoubleBytes(0.9)), 0);
    ASSERT_EQ(store.SetBinary(rn::kAppKey, rn::app::kDbDivProportion, DoubleBytes(std::nan(""))), 0);
    Text(rn::kAppKey, rn::app::kDbConnectionString, QString(1024, QLatin1Char('x')));
    const settings::SettingsState& s = Load();
    EXPECT_EQ(s.windowPos.Width, 800);
    EXPECT_EQ(s.windowPos.Height, 650);
    EXPECT_EQ(s.PanelDivProportion, 0.3);
    EXPECT_EQ(s.LeftPanelDivProportion, 0.7);
    EXPECT_EQ(s.DbDivProportion, 0.35);
    EXPECT_EQ(Str(s.DbConnectionString), QString());

    Text(rn::kAppKey, rn::app::kDbConnectionString, QString(1023, QLatin1Char('y')));
    EXPECT_EQ(Str(Load().DbConnectionString), QString(1023, QLatin1Char('y')));
}

TEST_F(LoadSettings, AllListsHiddenMeansAllShownAndCsvCodesOutOfRangeBecomeZero) {
    App(rn::app::kWhiteList, 0);
    App(rn::app::kBlackList, 0);
    App(rn::app::kGrayList, 0);
    const QString csvKey = rn::kCsvKey + QStringLiteral("\\RecognizedPersons");
    Dword(csvKey, rn::csv::kEncode, 5);
    Dword(csvKey, rn::csv::kDelimiter, 3);
    Dword(csvKey, rn::csv::kRotatesNumber, 0);
    Dword(csvKey, rn::csv::kSizeLimitMB, 21);
    Text(csvKey, rn::csv::kFolder, QStringLiteral("/var/log/ostrovid"));
    const settings::SettingsState& s = Load();
    EXPECT_EQ(s.dbWin.WhiteList, 1);
    EXPECT_EQ(s.dbWin.BlackList, 1);
    EXPECT_EQ(s.dbWin.GrayList, 1);
    EXPECT_EQ(s.csvFormat.Encode, 0);
    EXPECT_EQ(s.csvFormat.Delimiter, 0);
    EXPECT_EQ(s.csvFormat.RotatesNumber, 1);
    EXPECT_EQ(s.csvFormat.SizeLimitMB, 20);
    EXPECT_EQ(Str(s.csvFormat.Folder), QStringLiteral("/var/log/ostrovid"));

    App(rn::app::kGrayList, 1);
    EXPECT_EQ(Load().dbWin.WhiteList, 0);
    EXPECT_EQ(state->dbWin.GrayList, 1);
}

TEST_F(LoadSettings, CameraListStopsAtTheFirstGapAndSkipsIncompleteCameras) {
    IpCamera(1, 1, QStringLiteral("Вход"), QStringLiteral("rtsp://10.0.0.1/a"));
    EXPECT_EQ(Load().cameraList.Count, 0u);

    IpCamera(0, 7, QStringLiteral("Вход"), QStringLiteral("rtsp://10.0.0.1/a"));
    Text(CameraKey(1), rn::camera::kRotationFlag, QStringLiteral("1"));
    const QString web = CameraKey(2);
    Dword(web, rn::camera::kType, 0);
    Text(web, rn::camera::kName, QStringLiteral("Холл"));
    Dword(web, rn::camera::kRotationFlag, 4);
    Dword(web, rn::camera::kMirroring, 1);
    Dword(web, rn::camera::kCaptureDeviceNumber, uint32_t(-1));
    Text(web, rn::camera::kDevicePath, QStringLiteral("usb-0000:00:14.0-1"));
    Dword(web, rn::camera::kPreferredResolutionWidth, 1280);
    Dword(web, rn::camera::kPreferredResolutionHeight, uint32_t(-1));
    IpCamera(3, 1, QStringLiteral("Двор"), QStringLiteral("http://cam/x"));
    Dword(CameraKey(3), rn::camera::kRotationFlag, 3);
    App(rn::app::kCurrentCameraIndex, 2);

    const settings::SettingsState& s = Load();
    ASSERT_EQ(s.cameraList.Count, 3u);
    const settings::CameraDescriptor& ip = s.cameraList.Cameras[0];
    EXPECT_EQ(ip.Type, 1);
    EXPECT_EQ(Str(ip.Name), QStringLiteral("Вход"));
    EXPECT_EQ(Str(ip.Source.Url), QStringLiteral("rtsp://10.0.0.1/a"));
    EXPECT_EQ(ip.InUse, 1);
    const settings::CameraDescriptor& cam = s.cameraList.Cameras[1];
    EXPECT_EQ(cam.Type, 0);
    EXPECT_EQ(Str(cam.Name), QStringLiteral("Холл"));
    EXPECT_EQ(cam.RotationFlag, 0);
    EXPECT_EQ(cam.Mirroring, 1);
    EXPECT_EQ(cam.Source.Web.CaptureDeviceNumber, -1);
    EXPECT_EQ(Str(cam.Source.Web.DevicePath), QStringLiteral("usb-0000:00:14.0-1"));
    EXPECT_EQ(cam.Source.Web.PreferredResolutionWidth, 1280);
    EXPECT_EQ(cam.Source.Web.PreferredResolutionHeight, -1);
    EXPECT_EQ(s.cameraList.Cameras[2].RotationFlag, 3);
    EXPECT_EQ(s.CurrentCameraIndex, 2);
    // The skipped camera left no trace in the slot after the last one.
    EXPECT_EQ(s.cameraList.Cameras[3].InUse, 0);
    EXPECT_EQ(Str(s.cameraList.Cameras[3].Name), QString());

    ASSERT_EQ(store.DeleteTree(CameraKey(3)), 0);
    EXPECT_EQ(Load().cameraList.Count, 2u);
    EXPECT_EQ(state->CurrentCameraIndex, -1);
}

TEST_F(LoadSettings, CameraWithAMissingUrlOrAnOverlongNameIsSkipped) {
    IpCamera(0, 1, QStringLiteral("a"), QStringLiteral("rtsp://h/1"));
    ASSERT_EQ(store.DeleteValue(CameraKey(0), rn::camera::kUrl), 0);
    IpCamera(1, 1, QString(64, QLatin1Char('n')), QStringLiteral("rtsp://h/2"));
    IpCamera(2, 1, QString(63, QLatin1Char('n')), QString(2083, QLatin1Char('u')));
    const settings::SettingsState& s = Load();
    ASSERT_EQ(s.cameraList.Count, 1u);
    EXPECT_EQ(Str(s.cameraList.Cameras[0].Source.Url), QString(2083, QLatin1Char('u')));
    App(rn::app::kCurrentCameraIndex, uint32_t(-7));
    EXPECT_EQ(Load().CurrentCameraIndex, -1);
}

TEST_F(LoadSettings, AnAlertWithAWrongTypeKeepsItsPreviousContentsAndMissingValuesAreEmpty) {
    const QString alert0 = rn::NumberedKey(rn::kAlertsKey, 0);
    const QString alert2 = rn::NumberedKey(rn::kAlertsKey, 2);
    Dword(alert0, rn::alert::kPlayWav, 1);
    Text(alert0, rn::alert::kSpeech, QStringLiteral("Внимание, %Name%"));
    Text(alert0, rn::alert::kRecepients, QString(2048, QLatin1Char('r')));
    Dword(alert2, rn::alert::kSendMail, 1);
    Text(alert2, rn::alert::kScript, QStringLiteral("1"));

    settings::SettingsState s;
    s.alerts.Items[2].CSV = 1;
    platform::CopyToFixed(s.alerts.Items[3].WavFile, u"kept");
    settings::LoadSettingsFromStore(store, s);
    EXPECT_EQ(s.alerts.Items[0].PlayWav, 1);
    EXPECT_EQ(Str(s.alerts.Items[0].Speech), QStringLiteral("Внимание, %Name%"));
    EXPECT_EQ(Str(s.alerts.Items[0].Recepients), QString());
    EXPECT_EQ(s.alerts.Items[2].CSV, 1);
    EXPECT_EQ(s.alerts.Items[2].SendMail, 0);
    EXPECT_EQ(Str(s.alerts.Items[3].WavFile), QStringLiteral("kept"));
}

TEST_F(LoadSettings, SubkeyGroupsKeepWhatCannotBeRead) {
    Text(rn::kSmtpKey, rn::smtp::kServer, QStringLiteral("smtp.example.org"));
    Dword(rn::kSmtpKey, rn::smtp::kServerPort, 587);
    Text(rn::kSmtpKey, rn::smtp::kPassword, QString(255, QLatin1Char('p')));
    Dword(rn::kUPActionsKey, rn::alert::kScriptType, 1);
    const QString unrecognized = rn::kScriptKey + QStringLiteral("\\UnrecognizedPersons");
    Dword(unrecognized, rn::script::kTimeout, 0);
    Dword(unrecognized, rn::script::kImgFileFormat, 2);

    settings::SettingsState s;
    platform::CopyToFixed(s.smtp.SendPassword, u"old");
    s.upActions.SendMail = 1;
    settings::LoadSettingsFromStore(store, s);
    EXPECT_EQ(Str(s.smtp.SMTPServer), QStringLiteral("smtp.example.org"));
    EXPECT_EQ(s.smtp.SMTPServerPort, 587u);
    EXPECT_EQ(Str(s.smtp.SendPassword), QStringLiteral("old"));
    EXPECT_EQ(s.upActions.ScriptType, 1);
    EXPECT_EQ(s.upActions.SendMail, 1);
    EXPECT_EQ(s.scriptUnrecognized.Timeout, 0);
    EXPECT_EQ(s.scriptUnrecognized.ImgFileFormat, 2);
    EXPECT_EQ(s.scriptRecognized.Timeout, -1);
}

TEST_F(LoadSettings, ManagementValuesAndTheSortedStationList) {
    App(rn::app::kTcpPort, 40000);
    App(rn::app::kUdpPort, 0);
    App(rn::app::kAllowUdpLocation, 1);
    Text(rn::kAppKey, rn::app::kPassword, QStringLiteral("0123456789abcdef"));
    App(rn::app::kAcceptConnectionFlag, 1);
    const QString stations = rn::kAllowedStationKey;
    Text(stations, QStringLiteral("0"), QStringLiteral(" b "));
    Text(stations, QStringLiteral("1"), QString());
    Text(stations, QStringLiteral("2"), QStringLiteral("a"));
    Text(stations, QStringLiteral("3"), QStringLiteral("B"));
    Dword(stations, QStringLiteral("4"), 5);
    Text(stations, QStringLiteral("5"), QStringLiteral("after the break"));

    const settings::SettingsState& s = Load();
    EXPECT_EQ(s.management.TcpPort, 21077u);
    EXPECT_EQ(s.management.UdpPort, 0u);
    EXPECT_EQ(s.management.AllowUdpLocation, 0);
    // A password that does not fit is not read at all.
    EXPECT_EQ(Str(s.management.Password), QString());
    EXPECT_EQ(s.management.AcceptConnectionFlag, 1);
    EXPECT_EQ(s.stations, (QStringList{QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("b")}));

    App(rn::app::kAllowManagement, 1);
    Text(rn::kAppKey, rn::app::kPassword, QStringLiteral("0123456789abcde"));
    App(rn::app::kAcceptConnectionFlag, 2);
    EXPECT_EQ(Load().management.AllowUdpLocation, 1);
    EXPECT_EQ(Str(state->management.Password), QStringLiteral("0123456789abcde"));
    EXPECT_EQ(state->management.AcceptConnectionFlag, 0);
    EXPECT_TRUE(state->stations.isEmpty());

    App(rn::app::kAcceptConnectionFlag, 1);
    ASSERT_EQ(store.DeleteTree(stations), 0);
    Text(stations, QStringLiteral("0"), QStringLiteral("   "));
    Text(stations, QStringLiteral("1"), QStringLiteral("\t"));
    EXPECT_EQ(Load().management.AcceptConnectionFlag, 0);
}

TEST_F(LoadSettings, AutoRunIsSetOnlyWhenTheEntryStartsThisProgram) {
    EXPECT_FALSE(settings::IsAutoRunSet());
    ASSERT_EQ(platform::SetAutorun(platform::ProgramFilePath().toUpper()), 0);
    EXPECT_TRUE(settings::IsAutoRunSet());
    EXPECT_TRUE(Load().AutoRun);
    ASSERT_EQ(platform::SetAutorun(platform::ProgramFilePath() + QStringLiteral("x")), 0);
    EXPECT_FALSE(settings::IsAutoRunSet());
}

TEST_F(LoadSettings, StartUpLoadReadsTheStoreFile) {
    App(rn::app::kMaxSubject, 4);
    IpCamera(0, 1, QStringLiteral("Вход"), QStringLiteral("rtsp://h/1"));
    ASSERT_EQ(store.Save(), 0);
    const QString path = dir.filePath(QStringLiteral("registry.reg"));
    ::setenv("OSTROVID_REGISTRY", path.toLocal8Bit().constData(), 1);
    const settings::SettingsState loaded = settings::LoadSettingsFromRegistry();
    EXPECT_EQ(loaded.recognition.MaxSubject, 4u);
    EXPECT_EQ(loaded.cameraList.Count, 1u);
    ::unsetenv("OSTROVID_REGISTRY");
}

}  // namespace
