// Every packet through the real service ends in the store with the values and types the program
// reads back; replies, unknown types and a store the service may not write.

#include "platform/autorun.h"
#include "platform/fixedtext.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "settings/channel_saves.h"
#include "settings/load_settings.h"
#include "settings/registry_names.h"
#include "tests/integration/service/service_fixture.h"

#include <pwd.h>
#include <iostream>

using namespace settings;
namespace rn = settings::regnames;
using platform::RegType;

namespace {

RegType TypeOf(const platform::RegistryStore& store, const QString& key, const QString& name) {
    RegType type = RegType::None;
    uint32_t size = 0;
    store.QueryValue(key, name, &type, nullptr, &size);
    return type;
}

uint32_t DwordOf(const platform::RegistryStore& store, const QString& key, const QString& name) {
    uint32_t value = 0xDEADBEEF, size = 4;
    RegType type;
    EXPECT_EQ(store.QueryValue(key, name, &type, &value, &size), 0) << name.toStdString();
    EXPECT_EQ(type, RegType::Dword) << name.toStdString();
    return value;
}

QString TextOf(const platform::RegistryStore& store, const QString& key, const QString& name) {
    char16_t buffer[4096] = {};
    uint32_t size = sizeof buffer;
    RegType type;
    EXPECT_EQ(store.QueryValue(key, name, &type, buffer, &size), 0) << name.toStdString();
    EXPECT_EQ(type, RegType::Sz) << name.toStdString();
    return QString::fromUtf16(buffer);
}

class ServicePackets : public ServiceTest {
protected:
    // An old layout the writers must replace, and a CSV subkey they must leave alone.
    void SeedStore() {
        platform::RegistryStore store(storePath);
        for (int i = 0; i < 5; ++i) {
            store.CreateKey(rn::NumberedKey(rn::kCameraKey, i));
            store.SetDword(rn::NumberedKey(rn::kCameraKey, i), rn::camera::kType, 0);
        }
        store.CreateKey(rn::NumberedKey(rn::kAlertsKey, 7));
        store.CreateKey(rn::kCsvKey + "\\Other");
        store.SetString(rn::kCsvKey + "\\Other", rn::csv::kFolder, "keep");
        store.CreateKey(rn::kAllowedStationKey);
        store.SetString(rn::kAllowedStationKey, "0", "old-1");
        store.SetString(rn::kAllowedStationKey, "1", "old-2");
        store.SetString(rn::kAllowedStationKey, "2", "old-3");
        ASSERT_EQ(store.Save(), 0);
    }
};

TEST_F(ServicePackets, AFullRoundOfSavesLandsWithExactValuesAndTypes) {
    SeedStore();
    StartService();
    Attach();

    auto list = std::make_unique<CameraList>();
    list->Count = 2;
    CameraDescriptor& web = list->Cameras[0];
    platform::CopyToFixed(web.Name, u"Вход");
    web.Source.Web.CaptureDeviceNumber = -1;
    platform::CopyToFixed(web.Source.Web.DevicePath, u"/dev/v4l/by-id/usb-046d-video-index0");
    web.Source.Web.PreferredResolutionWidth = 1280;
    web.Source.Web.PreferredResolutionHeight = -1;
    web.RotationFlag = 1;
    web.Mirroring = 1;
    CameraDescriptor& ip = list->Cameras[1];
    ip.Type = 1;
    platform::CopyToFixed(ip.Name, u"Двор \"север\"");
    platform::CopyToFixed(ip.Source.Url, u"rtsp://user:pw@127.0.0.1:554/live\\main");
    ip.RotationFlag = 3;
    EXPECT_TRUE(SaveCameraList(*list));

    auto alerts = std::make_unique<Alerts>();
    for (int i = 0; i < 4; ++i) {
        AlertSettings& a = alerts->Items[i];
        a.PlayWav = i % 2;
        platform::CopyToFixed(a.WavFile, QStringLiteral("/snd/%1.wav").arg(i));
        platform::CopyToFixed(a.Speech, QStringLiteral("Внимание %1").arg(i));
        a.CSV = 1;
        a.Script = i == 2;
        a.ScriptType = 1;
        platform::CopyToFixed(a.ScriptFile, u"/opt/s.js");
        a.SendMail = i == 3;
        platform::CopyToFixed(a.Recepients, u"a@b.c");
        platform::CopyToFixed(a.SubjectFormat, u"Тема %SURNAME%");
        platform::CopyToFixed(a.BodyFormat, u"Строка 1\r\nСтрока 2");
    }
    EXPECT_TRUE(SaveSaveAlerts(*alerts));

    CsvFormat csv{};
    platform::CopyToFixed(csv.Folder, u"/var/log/ostrovid");
    csv.RotatesNumber = 4;
    csv.SizeLimitMB = 7;
    csv.Encode = 2;
    csv.Delimiter = 1;
    csv.UseHeader = 1;
    EXPECT_TRUE(SaveCSVFormat(csv));
    EXPECT_TRUE(SaveScriptFormat({{}, 30, 1, 1}, rn::kRecognizedPersons));
    EXPECT_TRUE(SaveScriptFormat({{}, -1, 0, 2}, rn::kUnrecognizedPersons));

    ManagementServerSettings m{1, 21100, 1, 21101, {}, 1};
    platform::CopyToFixed(m.Password, u"пароль");
    EXPECT_TRUE(SaveManagementServerSettings(m, {"10.1.2.3", "station-b"}));

    EXPECT_TRUE(SaveCamerasExtParam({1, 90, 20}));
    EXPECT_TRUE(SaveMaximized(1));
    EXPECT_TRUE(SaveWindowPos({-8, 12, 1600, 900}));
    EXPECT_TRUE(SavePanelDivProportion(0.4));
    EXPECT_TRUE(SaveLeftPanelDivProportion(0.625));
    EXPECT_TRUE(SaveDbDivProportion(0.55));
    EXPECT_TRUE(SaveCurrentCameraIndex(1));
    EXPECT_TRUE(SaveDbConnectionString(u"Provider=SQLite;Data Source=/var/lib/Vektra/Ostrovid/Ostrovid.db"));
    EXPECT_TRUE(SaveCameraViewFeatures({0}));
    EXPECT_TRUE(SaveDbWinSettings({1, 0, 1}));
    EXPECT_TRUE(SaveRecognitionSettings({6, 40, 30, 4, 120, 1}));
    auto smtp = std::make_unique<SmtpSettings>();
    platform::CopyToFixed(smtp->SMTPServer, u"127.0.0.1");
    smtp->SMTPServerPort = 2525;
    platform::CopyToFixed(smtp->Originator, u"cam@example.org");
    smtp->SMTPAuthRequired = 1;
    platform::CopyToFixed(smtp->SendUserName, u"cam");
    platform::CopyToFixed(smtp->SendPassword, u"s3cr3t");
    platform::CopyToFixed(smtp->Recepients, u"ops@example.org");
    EXPECT_TRUE(SaveSmtpSettings(*smtp));
    auto up = std::make_unique<UPActionSet>();
    up->Script = 1;
    platform::CopyToFixed(up->ScriptFile, u"/opt/unknown.vbs");
    up->SendMail = 1;
    platform::CopyToFixed(up->BodyFormat, u"Неизвестное лицо");
    EXPECT_TRUE(SaveUPActionSet(*up));
    // The autostart entry may name only the program beside the service, which this test is not.
    EXPECT_FALSE(SaveAutoRun(true));
    EXPECT_TRUE(ProgramLog().contains("Error on saving AutoRun to registry: Отказано в доступе. (5)"));
    EXPECT_TRUE(ExchangeOnProgramChannel({"SaveAutoRun",
                                          channel::PacketType::AutoRunSettings,
                                          channel::payload_size::kAutoRun,
                                          0,
                                          {},
                                          {},
                                          [](channel::ChannelArea& area) {
                                              area.SetI32(channel::autorun::kFlag, 1);
                                              area.SetText(channel::autorun::kPath, channel::autorun::kPathChars,
                                                           QStringLiteral(OSTROVID_PROGRAM_BINARY));
                                          }}));

    // The store file after the round, for the record.
    QFile file(storePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::cout << "---- store after a full round ----\n" << file.readAll().toStdString() << "---- end ----\n";

    const auto storeFile = LoadStore();
    const platform::RegistryStore& store = *storeFile;
    const QString cam0 = rn::NumberedKey(rn::kCameraKey, 0), cam1 = rn::NumberedKey(rn::kCameraKey, 1);
    EXPECT_EQ(store.SubkeyNames(rn::kCameraKey), (QStringList{"0", "1"}));
    EXPECT_EQ(store.ValueNames(cam0),
              (QStringList{"Type", "Name", "RotationFlag", "Mirroring", "CaptureDeviceNumber", "DevicePath",
                           "PreferredResolutionWidth", "PreferredResolutionHeight"}));
    EXPECT_EQ(store.ValueNames(cam1), (QStringList{"Type", "Name", "RotationFlag", "Mirroring", "Url"}));
    EXPECT_EQ(DwordOf(store, cam0, "CaptureDeviceNumber"), 0xFFFFFFFFu);
    EXPECT_EQ(TextOf(store, cam1, "Url"), "rtsp://user:pw@127.0.0.1:554/live\\main");
    EXPECT_EQ(store.SubkeyNames(rn::kAlertsKey), (QStringList{"0", "1", "2", "3"}));
    EXPECT_EQ(store.ValueNames(rn::NumberedKey(rn::kAlertsKey, 2)),
              (QStringList{"PlayWav", "WavFile", "Speech", "CSV", "Script", "ScriptType", "ScriptFile", "SendMail",
                           "Recepients", "SubjectFormat", "BodyFormat"}));
    EXPECT_EQ(store.SubkeyNames(rn::kCsvKey), (QStringList{"Other", "RecognizedPersons"}));
    EXPECT_EQ(TextOf(store, rn::kCsvKey + "\\Other", "Folder"), "keep");
    EXPECT_EQ(store.ValueNames(rn::kAllowedStationKey), (QStringList{"0", "1"}));
    EXPECT_EQ(TextOf(store, rn::kAllowedStationKey, "1"), "station-b");
    for (const QString& name :
         {rn::app::kPanelDivProportion, rn::app::kLeftPanelDivProportion, rn::app::kDbDivProportion})
        EXPECT_EQ(TypeOf(store, rn::kAppKey, name), RegType::Binary) << name.toStdString();
    EXPECT_EQ(TypeOf(store, rn::kAppKey, rn::app::kPassword), RegType::Sz);
    EXPECT_EQ(DwordOf(store, rn::kAppKey, rn::app::kScreenX), uint32_t(-8));
    EXPECT_EQ(DwordOf(store, rn::kSmtpKey, rn::smtp::kServerPort), 2525u);
    EXPECT_EQ(TextOf(store, rn::kUPActionsKey, rn::alert::kBodyFormat), "Неизвестное лицо");

    // What the program loads at its next start is what it saved.
    auto state = std::make_unique<SettingsState>();
    LoadSettingsFromStore(store, *state);
    EXPECT_EQ(state->cameraList.Count, 2u);
    EXPECT_EQ(platform::FromFixed(state->cameraList.Cameras[0].Source.Web.DevicePath),
              "/dev/v4l/by-id/usb-046d-video-index0");
    EXPECT_EQ(state->cameraList.Cameras[0].Source.Web.PreferredResolutionHeight, -1);
    EXPECT_EQ(platform::FromFixed(state->cameraList.Cameras[1].Name), "Двор \"север\"");
    EXPECT_EQ(state->cameraList.Cameras[1].RotationFlag, 3);
    EXPECT_EQ(state->CurrentCameraIndex, 1);
    EXPECT_EQ(platform::FromFixed(state->alerts.Items[3].BodyFormat), "Строка 1\r\nСтрока 2");
    EXPECT_EQ(state->alerts.Items[2].Script, 1);
    EXPECT_EQ(state->csvFormat.SizeLimitMB, 7);
    EXPECT_EQ(state->scriptRecognized.Timeout, 30);
    EXPECT_EQ(state->scriptUnrecognized.ImgFileFormat, 2);
    EXPECT_EQ(state->management.TcpPort, 21100u);
    EXPECT_EQ(platform::FromFixed(state->management.Password), "пароль");
    EXPECT_EQ(state->stations, (QStringList{"10.1.2.3", "station-b"}));
    EXPECT_EQ(state->windowPos.Width, 1600);
    EXPECT_DOUBLE_EQ(state->LeftPanelDivProportion, 0.625);
    EXPECT_DOUBLE_EQ(state->DbDivProportion, 0.55);
    EXPECT_EQ(state->recognition.RememberRecognized, 120u);
    EXPECT_EQ(state->dbWin.BlackList, 0);
    EXPECT_EQ(state->viewFeatures.FramedFace, 0);
    EXPECT_EQ(state->camerasExt.WaitConnectionTime, 90);
    EXPECT_EQ(platform::FromFixed(state->smtp.SendPassword), "s3cr3t");
    EXPECT_EQ(platform::FromFixed(state->DbConnectionString),
              "Provider=SQLite;Data Source=/var/lib/Vektra/Ostrovid/Ostrovid.db");
    QString autostart;
    EXPECT_EQ(platform::QueryAutorun(&autostart), 0);
    EXPECT_EQ(autostart, OSTROVID_PROGRAM_BINARY);

    // Empty lists leave their keys present and empty.
    list->Count = 0;
    EXPECT_TRUE(SaveCameraList(*list));
    EXPECT_TRUE(SaveManagementServerSettings(m, {}));
    EXPECT_TRUE(SaveAutoRun(false));
    const auto afterFile = LoadStore();
    const platform::RegistryStore& after = *afterFile;
    EXPECT_TRUE(after.KeyExists(rn::kCameraKey));
    EXPECT_TRUE(after.SubkeyNames(rn::kCameraKey).isEmpty());
    EXPECT_TRUE(after.ValueNames(rn::kCameraKey).isEmpty());
    EXPECT_TRUE(after.KeyExists(rn::kAllowedStationKey));
    EXPECT_TRUE(after.ValueNames(rn::kAllowedStationKey).isEmpty());
    QString entry;
    EXPECT_EQ(platform::QueryAutorun(&entry), platform::kErrorFileNotFound);

    const QStringList svc = ServiceLog();
    EXPECT_TRUE(svc.contains("HandleApp2SvcPacket: CameraList Packet received. CameraCount=2"));
    EXPECT_TRUE(
        svc.contains("HandleApp2SvcPacket: RecognitionSettings Packet received: MaxSubject=6, LikelyDistance=40, "
                     "AssuranceDistance=30, RepeatForRecognition=4, RememberRecognized=120, ShortInvisibility=1"));
    EXPECT_TRUE(svc.contains("HandleApp2SvcPacket: LeftPanelDivProportion Packet received. Proportion=0.625"));
    EXPECT_TRUE(svc.contains("SaveDivProportionToRegistry() OK."));
    EXPECT_TRUE(svc.contains("SaveManagementServerSettingsToRegistry() OK."));
    // The passwords reach the store, never the log.
    EXPECT_EQ(svc.filter("Pwd=***, AcceptConnectionFlag=1").size(), 2);
    for (const char* secret : {"пароль", "s3cr3t"}) EXPECT_FALSE(svc.join('\n').contains(QString::fromUtf8(secret)));
}

TEST_F(ServicePackets, EveryPacketIsAnsweredOnceAndUnknownTypesWithKindOne) {
    StartService();
    Attach();
    RawChannel raw;
    ASSERT_TRUE(raw.Open());
    for (uint32_t type :
         {1u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 19u, 20u, 21u, 22u, 99u}) {
        SCOPED_TRACE(type);
        auto area = raw.Area();
        area.Clear(0, 70000);
        area.SetU32(0, type);
        if (type == 15 || type == 16) area.SetText(8, 64, u"RecognizedPersons");
        raw.Send();
        EXPECT_EQ(raw.Replies(10000, 150), 1);
        const bool unknown = type == 10 || type == 11 || type == 99;
        // An autostart packet with the flag 0 deletes an entry that does not exist.
        const bool fails = unknown || type == 1;
        EXPECT_EQ(area.U32(0), fails ? 1u : 0u);
        if (unknown) {
            EXPECT_EQ(area.U32(4), 1u);
        }
        if (type == 1) {
            EXPECT_EQ(area.U32(4), 2u);
            EXPECT_EQ(area.Text(8, 256), "Не удается найти указанный файл. (2)");
        }
    }
    EXPECT_TRUE(ServiceLog().contains("WARNING: HandleApp2SvcPacket: unknown Packet Id: 99"));
    EXPECT_TRUE(ServiceLog().contains("Error on SaveAutoRunToRegistry(): Не удается найти указанный файл. (2)"));

    for (uint32_t type : {10u, 99u}) {
        EXPECT_FALSE(ExchangeOnProgramChannel({"SaveProbe",
                                               channel::PacketType(type),
                                               0,
                                               0,
                                               {},
                                               QStringLiteral("Error on saving Probe to registry: "),
                                               [](channel::ChannelArea&) {}}));
    }
    EXPECT_EQ(testsupport::CountLines(ProgramLog(), "Error on saving Probe to registry: Unknown input packet in map."),
              2);
}

TEST_F(ServicePackets, CountsThatDoNotFitAreRefusedWithoutTouchingTheStore) {
    SeedStore();
    StartService();
    Attach();
    RawChannel raw;
    ASSERT_TRUE(raw.Open());
    auto area = raw.Area();

    area.Clear(0, 70000);
    area.SetU32(0, 3);
    area.SetU32(8, 11);
    raw.Send();
    ASSERT_EQ(raw.Replies(10000, 50), 1);
    EXPECT_EQ(area.U32(0), 1u);
    EXPECT_EQ(area.U32(4), 2u);
    EXPECT_EQ(area.Text(8, 256), "Параметр задан неверно. (87)");

    // Three stations announced, two packed, and no NUL anywhere after them.
    std::memset(area.Data(), 'x', 70000);
    area.SetU32(0, 17);
    area.SetU32(60, 3);
    area.SetText(64, 4, u"a.b");
    area.SetText(72, 2, u"c");
    raw.Send();
    ASSERT_EQ(raw.Replies(10000, 50), 1);
    EXPECT_EQ(area.U32(0), 1u);
    EXPECT_EQ(area.U32(4), 2u);

    const auto storeFile = LoadStore();
    const platform::RegistryStore& store = *storeFile;
    EXPECT_EQ(store.SubkeyNames(rn::kCameraKey).size(), 5);
    EXPECT_EQ(store.ValueNames(rn::kAllowedStationKey).size(), 3);
    EXPECT_FALSE(store.ValueNames(rn::kAppKey).contains(rn::app::kTcpPort));
    EXPECT_TRUE(
        ServiceLog().contains("Error on SaveManagementServerSettingsToRegistry(): Параметр задан неверно. (87)"));
}

TEST_F(ServicePackets, AStoreTheServiceMayNotWriteGivesTheSystemText) {
    // The store belongs to root and the service runs as nobody; a test that is not root
    // cannot switch users, and an unwritable folder is refused to it all the same.
    platform::RegistryStore seed(storePath);
    seed.CreateKey(rn::kAppKey);
    ASSERT_EQ(seed.Save(), 0);
    // Readable, so that the service gets as far as the write.
    ::chmod(Path("store").c_str(), 0755);
    ::chmod(storePath.toLocal8Bit().constData(), 0644);
    const bool root = geteuid() == 0;
    const passwd* nobody = getpwnam("nobody");
    if (root && !nobody) GTEST_SKIP() << "no user nobody to run the service as";
    if (!root) ::chmod(Path("store").c_str(), 0555);
    StartService(root ? static_cast<int>(nobody->pw_uid) : -1);
    Attach();

    EXPECT_FALSE(SaveCameraViewFeatures({1}));
    EXPECT_TRUE(ProgramLog().contains("Error on saving CameraViewFeatures to registry: Отказано в доступе. (5)"));
    EXPECT_TRUE(ServiceLog().contains("Error on SaveCameraViewFeaturesToRegistry(): Отказано в доступе. (5)"));
    if (!root) ::chmod(Path("store").c_str(), 0755);
}

}  // namespace
