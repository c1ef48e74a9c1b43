#include "store_fixture.h"

#include <QFile>
#include <random>

namespace {

namespace rn = settings::regnames;

// Every field must hold its NUL, whatever the store held.
template <size_t N>
bool Terminated(const char16_t (&field)[N]) {
    return field[N - 1] == u'\0';
}

class LoadGarbage : public SettingsStore {
protected:
    QByteArray RandomBytes(int maxLength) {
        QByteArray bytes(std::uniform_int_distribution<int>(0, maxLength)(random), '\0');
        for (char& c : bytes) c = char(random());
        return bytes;
    }

    // Strings with lengths around the field sizes; blanks, quotes and Cyrillic included.
    QString RandomText() {
        static const QString alphabet = QStringLiteral(" \t\"\\az09.:/Жё");
        const int lengths[] = {0, 1, 15, 16, 63, 64, 255, 256, 271, 272, 1023, 1024, 2083, 2084, 3000};
        QString text(lengths[random() % 15], QChar());
        for (QChar& c : text) c = alphabet[int(random() % alphabet.size())];
        return text;
    }

    void RandomValue(const QString& key, const QString& name) {
        ASSERT_EQ(store.CreateKey(key), 0);
        switch (random() % 4) {
        case 0:
            ASSERT_EQ(store.SetDword(key, name, uint32_t(random())), 0);
            break;
        case 1:
            ASSERT_EQ(store.SetDword(key, name, uint32_t(random() % 70)), 0);
            break;
        case 2:
            ASSERT_EQ(store.SetString(key, name, RandomText()), 0);
            break;
        default:
            ASSERT_EQ(store.SetBinary(key, name, RandomBytes(12)), 0);
            break;
        }
    }

    std::mt19937 random{20261209};
};

TEST_F(LoadGarbage, RandomValuesUnderEverySettingsKeyLoadWithinTheRules) {
    const QStringList names = {rn::app::kMaxSubject,
                               rn::app::kLikelyDistance,
                               rn::app::kAssuranceDistance,
                               rn::app::kRepeatForRecognition,
                               rn::app::kRememberRecognized,
                               rn::app::kCurrentCameraIndex,
                               rn::app::kWaitConnectionTime,
                               rn::app::kWaitNewFrameTime,
                               rn::app::kTcpPort,
                               rn::app::kUdpPort,
                               rn::app::kPassword,
                               rn::app::kAcceptConnectionFlag,
                               rn::app::kDbConnectionString,
                               rn::app::kPanelDivProportion,
                               rn::app::kDbDivProportion,
                               rn::camera::kType,
                               rn::camera::kName,
                               rn::camera::kRotationFlag,
                               rn::camera::kMirroring,
                               rn::camera::kUrl,
                               rn::camera::kDevicePath,
                               rn::camera::kCaptureDeviceNumber,
                               rn::camera::kPreferredResolutionWidth,
                               rn::camera::kPreferredResolutionHeight,
                               rn::alert::kSpeech,
                               rn::alert::kBodyFormat,
                               rn::alert::kPlayWav,
                               rn::smtp::kServer,
                               rn::smtp::kServerPort,
                               rn::csv::kFolder,
                               rn::csv::kEncode,
                               rn::csv::kRotatesNumber,
                               rn::script::kTimeout,
                               QStringLiteral("0"),
                               QStringLiteral("1")};
    QStringList keys = {rn::kAppKey,
                        rn::kSmtpKey,
                        rn::kUPActionsKey,
                        rn::kAllowedStationKey,
                        rn::kCsvKey + QStringLiteral("\\RecognizedPersons"),
                        rn::kScriptKey + QStringLiteral("\\RecognizedPersons")};
    for (int n = 0; n < 11; ++n) keys << rn::NumberedKey(rn::kCameraKey, n);
    for (int n = 0; n < 4; ++n) keys << rn::NumberedKey(rn::kAlertsKey, n);

    for (int round = 0; round < 150; ++round) {
        ASSERT_EQ(store.DeleteTree(QStringLiteral("SOFTWARE")), 0);
        ASSERT_EQ(store.CreateKey(rn::kAppKey), 0);
        for (int i = 0; i < 120; ++i) RandomValue(keys[random() % keys.size()], names[random() % names.size()]);

        const settings::SettingsState& s = Load();
        SCOPED_TRACE(round);
        const settings::RecognitionSettings& r = s.recognition;
        EXPECT_TRUE(r.MaxSubject >= 1 && r.MaxSubject <= 8);
        EXPECT_TRUE(r.LikelyDistance >= 15 && r.LikelyDistance <= 50);
        EXPECT_TRUE(r.AssuranceDistance >= 15 && r.AssuranceDistance <= r.LikelyDistance);
        EXPECT_TRUE(r.RememberRecognized >= 1 && (r.RememberRecognized <= 60 || r.RememberRecognized % 60 == 0));
        EXPECT_LE(s.cameraList.Count, 10u);
        EXPECT_LT(s.CurrentCameraIndex, int(s.cameraList.Count));
        for (uint32_t i = 0; i < s.cameraList.Count; ++i) {
            const settings::CameraDescriptor& cam = s.cameraList.Cameras[i];
            EXPECT_TRUE(cam.Type == 0 || cam.Type == 1);
            EXPECT_TRUE(cam.RotationFlag >= 0 && cam.RotationFlag <= 3);
            EXPECT_TRUE(Terminated(cam.Name) && Terminated(cam.Source.Url));
        }
        EXPECT_TRUE(s.PanelDivProportion >= 0.3 && s.PanelDivProportion <= 0.7);
        EXPECT_TRUE(s.DbDivProportion >= 0.3 && s.DbDivProportion <= 0.7);
        EXPECT_LT(s.management.TcpPort, 32768u);
        EXPECT_EQ(s.management.AcceptConnectionFlag, s.stations.isEmpty() ? 0 : 1);
        EXPECT_TRUE(Terminated(s.management.Password) && Terminated(s.DbConnectionString));
        EXPECT_TRUE(Terminated(s.smtp.SMTPServer) && Terminated(s.csvFormat.Folder));
        for (const settings::AlertSettings& alert : s.alerts.Items)
            EXPECT_TRUE(Terminated(alert.Speech) && Terminated(alert.BodyFormat));
        EXPECT_TRUE(s.csvFormat.Encode >= 0 && s.csvFormat.Encode <= 2);
        EXPECT_TRUE(std::is_sorted(s.stations.begin(), s.stations.end()));
        for (const QString& station : s.stations) EXPECT_EQ(station, station.trimmed());
    }
}

TEST_F(LoadGarbage, ADamagedStoreFileLoadsWhatItCanAtStartUp) {
    const QString path = dir.filePath(QStringLiteral("damaged.reg"));
    ::setenv("OSTROVID_REGISTRY", path.toLocal8Bit().constData(), 1);
    for (int round = 0; round < 100; ++round) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[SOFTWARE\\Vektra\\Ostrovid]\n\"MaxSubject\"=dword:00000005\n");
        file.write(RandomBytes(400));
        file.close();
        const settings::SettingsState loaded = settings::LoadSettingsFromRegistry();
        EXPECT_TRUE(loaded.recognition.MaxSubject >= 1 && loaded.recognition.MaxSubject <= 8);
    }
    ::unsetenv("OSTROVID_REGISTRY");
}

}  // namespace
