// The demonstration's setup without faces or processes: the settings it writes read back as the
// program reads them, the fresh-installation check, and the camera video's scenes.

#include "app/database/db_schema.h"
#include "platform/fixedtext.h"
#include "platform/registry.h"
#include "settings/load_settings.h"
#include "settings/registry_names.h"
#include "tools/demo_settings.h"
#include "tools/demo_video.h"
#include "tools/first_run.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

namespace rn = settings::regnames;

std::unique_ptr<settings::SettingsState> Loaded(const QString& path) {
    platform::RegistryStore store(path);
    EXPECT_EQ(store.Load(), 0);
    auto state = std::make_unique<settings::SettingsState>();
    settings::LoadSettingsFromStore(store, *state);
    return state;
}

QString Text(const char16_t* fixed) { return QString::fromUtf16(fixed); }

class DemoStore : public ::testing::Test {
protected:
    QString StorePath() const { return dir.filePath("registry.reg"); }

    void Write(const demo::DemoSettings& values) {
        platform::RegistryStore store(StorePath());
        ASSERT_EQ(store.Load(), 0);
        ASSERT_EQ(demo::WriteDemoSettings(store, values), 0);
        ASSERT_EQ(store.Save(), 0);
    }

    void SetValue(const QString& key, const QString& name, const QString& value) {
        platform::RegistryStore store(StorePath());
        ASSERT_EQ(store.Load(), 0);
        ASSERT_EQ(store.CreateKey(key), 0);
        ASSERT_EQ(store.SetString(key, name, value), 0);
        ASSERT_EQ(store.Save(), 0);
    }

    QTemporaryDir dir;
    const demo::DemoSettings demoSettings{QStringLiteral("http://127.0.0.1:21080/demo"),
                                      QStringLiteral("/demo/unknown-visitor.sh"), QStringLiteral("/demo/data")};
};

TEST_F(DemoStore, TheProgramReadsOneStartedCameraAlertsForEveryListAnUnknownVisitorScriptAndALoopbackServer) {
    const QString connection = QStringLiteral("Provider=SQLite;Data Source=/demo/data/Vektra/Ostrovid/Ostrovid.db");
    SetValue(rn::kAppKey, rn::app::kDbConnectionString, connection);
    // A store that already held other cameras (an earlier demonstration) keeps only the new one.
    for (int n : {0, 1, 2}) SetValue(rn::NumberedKey(rn::kCameraKey, n), rn::camera::kName, QStringLiteral("old"));
    Write(demoSettings);
    Write({QStringLiteral("http://127.0.0.1:40123/demo"), demoSettings.unknownScript, demoSettings.csvFolder});

    const auto s = Loaded(StorePath());
    ASSERT_EQ(s->cameraList.Count, 1u);
    const settings::CameraDescriptor& camera = s->cameraList.Cameras[0];
    EXPECT_EQ(camera.Type, 1);
    EXPECT_EQ(Text(camera.Source.Url), QStringLiteral("http://127.0.0.1:40123/demo"));
    EXPECT_EQ(s->CurrentCameraIndex, 0);
    EXPECT_EQ(s->camerasExt.AutoStartLastCamera, 1);
    EXPECT_EQ(s->viewFeatures.FramedFace, 1);
    EXPECT_EQ(Text(s->DbConnectionString), connection);

    // Sound, speech and the CSV line for every list; each list greets in its own words.
    const settings::AlertSettings& all = s->alerts.Items[0];
    EXPECT_EQ(all.PlayWav, 1);
    EXPECT_EQ(all.CSV, 1);
    EXPECT_EQ(Text(all.Speech), QStringLiteral("Внимание, %ФИО%"));
    EXPECT_EQ(Text(s->alerts.Items[1].Speech), QStringLiteral("Здравствуйте, %ФИО%"));
    EXPECT_TRUE(Text(s->alerts.Items[2].Speech).contains(QStringLiteral("Красный список")));
    EXPECT_TRUE(Text(s->alerts.Items[3].Speech).contains(QStringLiteral("Серый список")));
    for (const settings::AlertSettings& record : s->alerts.Items) {
        EXPECT_EQ(record.Script, 0);
        EXPECT_EQ(record.SendMail, 0);
    }
    EXPECT_EQ(Text(s->csvFormat.Folder), demoSettings.csvFolder);

    EXPECT_EQ(s->upActions.Script, 1);
    EXPECT_EQ(s->upActions.ScriptType, 0);
    EXPECT_EQ(Text(s->upActions.ScriptFile), demoSettings.unknownScript);
    EXPECT_EQ(s->upActions.SendMail, 0);

    EXPECT_EQ(s->management.AllowManagement, 1);
    EXPECT_EQ(s->management.AllowUdpLocation, 0);
    EXPECT_EQ(s->management.AcceptConnectionFlag, 1);
    EXPECT_EQ(s->stations, QStringList{QStringLiteral("127.0.0.1")});
    EXPECT_EQ(Text(s->management.Password), demo::kManagementPassword);
}

// A SQLite database with the schema and `persons` people in it; its connection string.
QString Database(const QTemporaryDir& dir, int persons) {
    static int made = 0;
    const QString file = dir.filePath(QStringLiteral("database%1.db").arg(++made));
    database::CreateSqliteDatabaseFile(file);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(file);
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        for (int i = 0; i < persons; ++i)
            EXPECT_TRUE(query.exec(QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, FORENAME, Gender) "
                                                  "VALUES (1, 0, 'Иванов', 'Пётр', 1)")));
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return QStringLiteral("Provider=SQLite;Data Source=") + file;
}

TEST_F(DemoStore, OnlyAStoreWithoutCameraAndADatabaseWithoutPersonCountsAsFresh) {
    using demo::Configuration;
    // No store file at all, and a store without a connection string: nothing was set up yet.
    EXPECT_EQ(demo::InspectConfiguration(StorePath()).configuration, Configuration::Fresh);
    SetValue(rn::kAppKey, rn::app::kMaxSubject, QStringLiteral("ignored"));
    EXPECT_EQ(demo::InspectConfiguration(StorePath()).configuration, Configuration::Fresh);

    SetValue(rn::kAppKey, rn::app::kDbConnectionString, Database(dir, 0));
    EXPECT_EQ(demo::InspectConfiguration(StorePath()).configuration, Configuration::Fresh);

    SetValue(rn::kAppKey, rn::app::kDbConnectionString, Database(dir, 2));
    const demo::FirstRunFinding persons = demo::InspectConfiguration(StorePath());
    EXPECT_EQ(persons.configuration, Configuration::InUse);
    EXPECT_TRUE(persons.reason.contains(QStringLiteral("2 person"))) << persons.reason.toStdString();

    // A camera alone is a configuration somebody made, whatever the database holds.
    SetValue(rn::kAppKey, rn::app::kDbConnectionString, Database(dir, 0));
    SetValue(rn::NumberedKey(rn::kCameraKey, 0), rn::camera::kName, QStringLiteral("Вход"));
    EXPECT_EQ(demo::InspectConfiguration(StorePath()).configuration, Configuration::InUse);
}

TEST_F(DemoStore, AStoreOrDatabaseThatCannotBeReadIsNeverTakenForFresh) {
    using demo::Configuration;
    // The database a store names but that is gone, or a server that cannot be reached.
    SetValue(rn::kAppKey, rn::app::kDbConnectionString,
             QStringLiteral("Provider=SQLite;Data Source=") + dir.filePath("missing.db"));
    EXPECT_EQ(demo::InspectConfiguration(StorePath()).configuration, Configuration::Unknown);
    SetValue(rn::kAppKey, rn::app::kDbConnectionString,
             QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:1;Initial Catalog=x;User ID=u;"
                            "Password=secret-word"));
    const demo::FirstRunFinding unreachable = demo::InspectConfiguration(StorePath());
    EXPECT_EQ(unreachable.configuration, Configuration::Unknown);
    EXPECT_FALSE(unreachable.reason.contains(QStringLiteral("secret-word")));

    // A damaged store may have lost its cameras after the damage.
    QFile file(StorePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[SOFTWARE\\Vektra\\Ostrovid]\n\"MaxSubject\"=dword:zz\n");
    file.close();
    EXPECT_EQ(demo::InspectConfiguration(StorePath()).configuration, Configuration::Unknown);
}

// Faces of one colour each, so that a frame tells how much of every face it shows.
cv::Mat Face(const cv::Scalar& colour) { return cv::Mat(150, 150, CV_8UC3, colour); }

int Shown(const cv::Mat& frame, const cv::Scalar& colour) {
    cv::Mat mask;
    cv::inRange(frame, colour, colour, mask);
    return cv::countNonZero(mask);
}

const cv::Scalar kGreen(0, 255, 0), kRed(0, 0, 255), kGray(200, 200, 200), kStranger(255, 0, 0),
    kOtherStranger(255, 0, 255);

std::vector<demo::DemoPerson> Cast() {
    std::vector<demo::DemoPerson> cast(5);
    const std::pair<demo::DemoRole, cv::Scalar> people[] = {{demo::DemoRole::Green, kGreen},
                                                            {demo::DemoRole::Red, kRed},
                                                            {demo::DemoRole::Gray, kGray},
                                                            {demo::DemoRole::Unknown, kStranger},
                                                            {demo::DemoRole::Unknown, kOtherStranger}};
    for (size_t i = 0; i < cast.size(); ++i) {
        cast[i].role = people[i].first;
        cast[i].cameraFaces = {Face(people[i].second), Face(people[i].second)};
    }
    return cast;
}

TEST(DemoVideo, EveryFaceComesStaysWholeLongEnoughAndLeavesBeforeTheNextAndAtTheSeam) {
    const std::vector<demo::Scene> scenes = demo::DemoScenes(Cast());
    const demo::SceneTiming timing;
    const int count = demo::FrameCount(scenes, timing);
    const int whole = demo::kFaceSide * demo::kFaceSide;
    const cv::Scalar colours[] = {kGreen, kRed, kGray, kStranger, kOtherStranger};

    // The green person opens the loop alone: the first recognition comes within seconds.
    ASSERT_GE(scenes.size(), 4u);
    ASSERT_EQ(scenes.front().faces.size(), 1u);
    EXPECT_EQ(Shown(scenes.front().faces[0], kGreen), 150 * 150);

    // Per colour: the longest run of frames showing the whole face, and whether the view was
    // empty between two appearances (a face that never leaves raises no leaving events).
    std::map<int, int> longestWhole, run;
    int appearances = 0;
    bool previousEmpty = true;
    for (int i = 0; i < count; ++i) {
        const cv::Mat frame = demo::VideoFrame(scenes, timing, i);
        ASSERT_EQ(frame.size(), cv::Size(demo::kVideoWidth, demo::kVideoHeight));
        bool empty = true;
        for (int c = 0; c < 5; ++c) {
            const int shown = Shown(frame, colours[c]);
            empty = empty && shown == 0;
            run[c] = shown == whole ? run[c] + 1 : 0;
            longestWhole[c] = std::max(longestWhole[c], run[c]);
        }
        if (previousEmpty && !empty) ++appearances;
        previousEmpty = empty;
        if (i == 0 || i == count - 1) {
            EXPECT_TRUE(empty) << "frame " << i << " of the loop's seam shows a face";
        }
    }
    EXPECT_EQ(appearances, int(scenes.size()));
    // Three sure results half a second apart, with time to spare on a busy computer.
    for (int c = 0; c < 5; ++c) EXPECT_GE(longestWhole[c], 3 * demo::kFramesPerSecond) << "colour " << c;
}

TEST(DemoVideo, TheFileHoldsOneJpegPerFrameAsTheCameraSplitsIt) {
    const std::vector<demo::Scene> scenes = demo::DemoScenes(Cast());
    const demo::SceneTiming timing{std::chrono::milliseconds(300), std::chrono::milliseconds(300),
                                   std::chrono::milliseconds(300), std::chrono::milliseconds(200)};
    QTemporaryDir dir;
    const QString file = dir.filePath("camera.mjpeg");
    QString error;
    ASSERT_TRUE(demo::WriteMjpeg(scenes, timing, file, error)) << error.toStdString();
    QFile video(file);
    ASSERT_TRUE(video.open(QIODevice::ReadOnly));
    const QByteArray bytes = video.readAll();
    // The camera server cuts the file where a JPEG's start marker is followed by another marker.
    int frames = 0;
    for (qsizetype at = bytes.indexOf("\xff\xd8\xff"); at >= 0; at = bytes.indexOf("\xff\xd8\xff", at + 1)) ++frames;
    EXPECT_EQ(frames, demo::FrameCount(scenes, timing));
    EXPECT_TRUE(bytes.endsWith("\xff\xd9"));

    EXPECT_FALSE(demo::WriteMjpeg(scenes, timing, dir.filePath("no/such/folder/camera.mjpeg"), error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
