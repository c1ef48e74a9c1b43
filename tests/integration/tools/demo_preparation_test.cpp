// The demonstration's preparation as run.sh runs it: the camera video, the person database with
// three people on the three lists, the settings store with the camera, all in the demonstration's
// own folder; a second run keeps what is there; a step that cannot be done stops it loudly.

#include "platform/registry.h"
#include "settings/load_settings.h"
#include "tests/support/demo_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <opencv2/imgcodecs.hpp>

#include <memory>
#include <set>
#include <tuple>

namespace {

using testsupport::DemoLayout;
using testsupport::PrepareDemo;
using testsupport::ScriptRun;

// Name, list and sample count of every person.
std::set<std::tuple<QString, int, int>> Persons(const QString& file) {
    std::set<std::tuple<QString, int, int>> persons;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("demo"));
        db.setDatabaseName(file);
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        EXPECT_TRUE(query.exec(QStringLiteral(
            "SELECT SURNAME || ' ' || FORENAME, LIST_NUM, (SELECT COUNT(*) FROM SAMPLES S WHERE S.PERSON_ID = "
            "P.PERSON_ID) FROM PERSONS P")));
        while (query.next())
            persons.insert({query.value(0).toString(), query.value(1).toInt(), query.value(2).toInt()});
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demo"));
    return persons;
}

QByteArray Contents(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

TEST(DemoPreparation, MakesTheVideoThePeopleOnTheirListsAndTheCameraInItsOwnFolderAndKeepsThemOnASecondRun) {
    QTemporaryDir dir;
    const QString demo = dir.filePath("demo");
    const ScriptRun first = PrepareDemo(demo);
    ASSERT_EQ(first.status, 0) << first.errors.toStdString() << first.output.toStdString();

    // Everything the service and the program of the demonstration touch is below its folder.
    const QMap<QString, QString> layout = DemoLayout(demo);
    for (const char* name : {"OSTROVID_REGISTRY", "OSTROVID_COMMON_APPDATA", "OSTROVID_SVC_LOG_DIR",
                             "OSTROVID_AUTOSTART_DIR", "TMPDIR"})
        EXPECT_TRUE(layout.value(QString::fromLatin1(name)).startsWith(demo + u'/')) << name;
    EXPECT_FALSE(layout.value(QStringLiteral("OSTROVID_IPC_NAMESPACE")).isEmpty());
    EXPECT_EQ(layout.value(QStringLiteral("OSTROVID_DEMO")), QStringLiteral("1"));

    // The video: 640x480 JPEG frames, most of a minute of them.
    const QString videoFile = demo + QStringLiteral("/camera.mjpeg");
    const QByteArray video = Contents(videoFile);
    EXPECT_GE(video.count("\xff\xd8\xff"), 40 * 10);
    const cv::Mat frame = cv::imdecode(
        std::vector<uchar>(video.begin(), video.begin() + video.indexOf("\xff\xd9") + 2), cv::IMREAD_COLOR);
    EXPECT_EQ(frame.cols, 640);
    EXPECT_EQ(frame.rows, 480);

    const QString database = layout.value(QStringLiteral("OSTROVID_COMMON_APPDATA")) + "/Vektra/Ostrovid/Ostrovid.db";
    const auto persons = Persons(database);
    ASSERT_EQ(persons.size(), 3u);
    std::set<std::pair<QString, int>> lists;
    for (const auto& [name, list, samples] : persons) {
        lists.insert({name, list});
        EXPECT_GE(samples, 5) << name.toStdString();
    }
    EXPECT_EQ(lists, (std::set<std::pair<QString, int>>{{QStringLiteral("Иванов Пётр"), 0},
                                                        {QStringLiteral("Петров Сергей"), 1},
                                                        {QStringLiteral("Сидоров Алексей"), 2}}));

    {
        platform::RegistryStore store(layout.value(QStringLiteral("OSTROVID_REGISTRY")));
        ASSERT_EQ(store.Load(), 0);
        auto s = std::make_unique<settings::SettingsState>();
        settings::LoadSettingsFromStore(store, *s);
        ASSERT_EQ(s->cameraList.Count, 1u);
        EXPECT_EQ(QString::fromUtf16(s->cameraList.Cameras[0].Source.Url), QStringLiteral("http://127.0.0.1:21080/demo"));
        EXPECT_TRUE(QString::fromUtf16(s->DbConnectionString).endsWith(database));
        const QFileInfo script(QString::fromUtf16(s->upActions.ScriptFile));
        EXPECT_TRUE(script.isExecutable()) << script.filePath().toStdString();
        EXPECT_TRUE(script.filePath().startsWith(demo + u'/'));
    }

    // Again: nothing is made twice and nobody is enrolled twice.
    const QDateTime made = QFileInfo(videoFile).lastModified();
    const ScriptRun second = PrepareDemo(demo);
    ASSERT_EQ(second.status, 0) << second.errors.toStdString();
    EXPECT_EQ(QFileInfo(videoFile).lastModified(), made);
    EXPECT_EQ(Persons(database), persons);
}

TEST(DemoPreparation, AMissingPartStopsItWithAMessageNamingIt) {
    QTemporaryDir dir;
    const ScriptRun noExamples = PrepareDemo(dir.filePath("demo"), dir.filePath("none"));
    EXPECT_NE(noExamples.status, 0);
    EXPECT_TRUE(noExamples.errors.contains(dir.filePath("none/johns"))) << noExamples.errors.toStdString();
    EXPECT_TRUE(noExamples.errors.contains(QStringLiteral("libdlib19.1")));

    ASSERT_TRUE(QDir().mkpath(dir.filePath("models")));
    const ScriptRun noModels =
        PrepareDemo(dir.filePath("demo"), QStringLiteral("/usr/share/doc/libdlib19.1/examples"), dir.filePath("models"));
    EXPECT_NE(noModels.status, 0);
    EXPECT_TRUE(noModels.errors.contains(QStringLiteral("no face models"))) << noModels.errors.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("demo/camera.mjpeg")));
}

}  // namespace
