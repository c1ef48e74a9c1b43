// The whole program in this process: a person enrolled in the embedded database from a photo
// through the program's own face analysis, or persons enrolled by ostrovid-enrol from a folder;
// an HTTP camera on loopback streaming a photo, the real service for the settings; the camera
// starts by itself and the person is recognized.

#include "app/database/db_schema.h"
#include "app/program_window.h"
#include "app/recognition/face_models.h"
#include "app/ui/event_panel.h"
#include "platform/log.h"
#include "platform/registry.h"
#include "settings/load_settings.h"
#include "settings/registry_names.h"
#include "tests/integration/program/in_process_program.h"
#include "tests/integration/program/program_environment.h"
#include "tests/integration/service/child_process.h"
#include "tests/support/enrol_folders.h"
#include "tests/unit/camera/camera_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <opencv2/imgcodecs.hpp>

#include <csignal>

namespace {

namespace rn = settings::regnames;

// Start-up, the first model load, the camera's connection and three results half a second apart.
constexpr int kRecognitionLimitMs = 120000;

const QString kPhoto = QStringLiteral(DLIB_EXAMPLES_DIR "/faces/2009_004587.jpg");

bool HasRecognitionRow(ui::MainFrame& frame, const QString& name) {
    for (const shell::JournalRow& row : frame.Events()->Model().Tab(shell::JournalTab::Recognition).Rows())
        if (row.eventText == QStringLiteral("Распознан") && row.description.contains(name)) return true;
    return false;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PrepareProgramLogAndModels(env, QStringLiteral(OSTROVID_DATA_DIR), models));
        photo = recognition::ReadPictureFile(kPhoto);
        ASSERT_FALSE(photo.empty());
    }

    void TearDown() override {
        if (HasFailure())
            for (const QString& line : env.Log()) std::fprintf(stderr, "log: %s\n", qUtf8Printable(line));
        StopChildren({&camera, &service});
        platform::SetLogFile(QString(), QString());
    }

    // One person with one sample: the largest face of the photo, described as the program does.
    void EnrollPerson(const QString& file) {
        database::CreateSqliteDatabaseFile(file);
        const auto faces = models->DetectFaces(photo, 1);
        ASSERT_EQ(faces.size(), 1u);
        const auto described = models->InterfaceDescriber().Describe(photo, faces[0]);
        ASSERT_TRUE(described);
        std::vector<uchar> jpeg;
        cv::imencode(".jpg", described->chip, jpeg);

        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("enrol"));
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(
            query.exec(QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, FORENAME, Gender) "
                                      "VALUES (1, 0, 'Иванов', 'Пётр', 1)")))
            << query.lastError().text().toStdString();
        query.prepare(QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (1, ?, ?)"));
        query.addBindValue(QByteArray(reinterpret_cast<const char*>(jpeg.data()), int(jpeg.size())));
        query.addBindValue(described->descriptor.ToStorage());
        ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
        query.finish();
        db.close();
    }

    void WriteSettings(const QString& dbFile, const QString& url) {
        platform::RegistryStore store(env.StorePath());
        const QString camera = rn::NumberedKey(rn::kCameraKey, 0);
        ASSERT_EQ(store.CreateKey(camera), 0);
        store.SetDword(camera, rn::camera::kType, 1);
        store.SetString(camera, rn::camera::kName, QStringLiteral("Вход"));
        store.SetDword(camera, rn::camera::kRotationFlag, 0);
        store.SetDword(camera, rn::camera::kMirroring, 0);
        store.SetString(camera, rn::camera::kUrl, url);
        store.SetDword(rn::kAppKey, rn::app::kCurrentCameraIndex, 0);
        store.SetDword(rn::kAppKey, rn::app::kAutoStartLastCamera, 1);
        store.SetString(rn::kAppKey, rn::app::kDbConnectionString,
                        QStringLiteral("Provider=SQLite;Data Source=") + dbFile);
        ASSERT_EQ(store.Save(), 0);
    }

    // ffmpeg serving the photo as an HTTP MJPEG stream, 10 frames a second.
    void StartCamera(uint16_t port) {
        const QString jpeg = env.dir.filePath("camera.jpg");
        ASSERT_TRUE(cv::imwrite(jpeg.toStdString(), photo));
        ASSERT_TRUE(camera.Start({"/usr/bin/ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-loop", "1",
                                  "-framerate", "10", "-i", jpeg.toStdString(), "-f", "mpjpeg", "-q:v", "3", "-listen",
                                  "1", "http://127.0.0.1:" + std::to_string(port) + "/camera"},
                                 -1, env.Path("ffmpeg.out")));
    }

    // Starts the service and the program, which starts the camera by itself, and waits until the
    // recognition journal names the person and the recognized-persons list holds him alone; then
    // saves a picture of the window as screens/<screenshot>.
    void RunProgramUntilRecognized(const QString& name, const QString& screenshot) {
        ASSERT_TRUE(service.Start({OSTROVID_SVC_BINARY, "-debug"}, -1, env.Path("svc.out")));
        shell::ProgramObjects objects;
        ASSERT_NO_FATAL_FAILURE(AttachToService(objects));
        ASSERT_EQ(settings::g_Settings().cameraList.Count, 1u);
        {
            app::ProgramWindow program(objects, *models);
            ASSERT_TRUE(program.Create());
            ui::MainFrame& frame = program.Frame();
            frame.show();
            EXPECT_TRUE(QTest::qWaitFor([&] { return HasRecognitionRow(frame, name); }, kRecognitionLimitMs));
            EXPECT_EQ(frame.RecognizedList().Size(), 1u);

            // A picture of the window for review; under Xvfb it shows the real rendering.
            QTest::qWait(500);
            const QString screens = QStringLiteral(OSTROVID_BUILD_DIR "/screens");
            QDir().mkpath(screens);
            // The screen holds the face labels too, which are windows of their own; offscreen there
            // is no screen to read, only the frame's own rendering.
            const QRect area = frame.frameGeometry();
            QPixmap picture =
                QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
            if (picture.isNull() || QGuiApplication::platformName() == QStringLiteral("offscreen"))
                picture = frame.grab();
            EXPECT_TRUE(picture.save(screens + u'/' + screenshot));
            frame.close();
        }
        settings::SetProgramChannel(nullptr);
        objects.Close();
    }

    ProgramEnvironment env;
    std::unique_ptr<recognition::FaceModels> models;
    cv::Mat photo;
    testsupport::ChildProcess service;
    testsupport::ChildProcess camera;
};

TEST_F(EndToEnd, AnEnrolledPersonInFrontOfTheCameraIsRecognized) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    EnrollPerson(dbFile);
    const uint16_t port = camera_test::FreeLoopbackPort();
    WriteSettings(dbFile, QStringLiteral("http://127.0.0.1:%1/camera").arg(port));
    StartCamera(port);
    RunProgramUntilRecognized(QStringLiteral("Иванов Пётр"), QStringLiteral("main_window_recognized.png"));
}

// The johns folders but one picture enrolled by ostrovid-enrol with the store's connection string,
// as an administrator would; the picture held back is what the camera shows.
TEST_F(EndToEnd, APersonEnrolledByTheToolIsRecognizedInAPictureHeldBack) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    database::CreateSqliteDatabaseFile(dbFile);
    const std::vector<testsupport::JohnsPerson> people = testsupport::JohnsPeople();
    ASSERT_EQ(people.size(), 5u);
    ASSERT_EQ(people[1].folderName, QStringLiteral("Savage John"));
    const std::string heldBack = people[1].pictures.back();
    const QString photos = env.dir.filePath("photos");
    ASSERT_EQ(testsupport::WriteJohnsFolders(photos, {heldBack}), 54);
    const uint16_t port = camera_test::FreeLoopbackPort();
    WriteSettings(dbFile, QStringLiteral("http://127.0.0.1:%1/camera").arg(port));

    QProcess enrol;
    enrol.start(QStringLiteral(OSTROVID_ENROL_TOOL),
                {QStringLiteral("--data"), QStringLiteral(OSTROVID_DATA_DIR), photos});
    ASSERT_TRUE(enrol.waitForFinished(300000));
    const QString printed = QString::fromUtf8(enrol.readAllStandardOutput() + enrol.readAllStandardError());
    ASSERT_EQ(enrol.exitCode(), 0) << printed.toStdString();
    ASSERT_TRUE(printed.contains(QStringLiteral("Savage John: new person, 10 added"))) << printed.toStdString();

    // The held-back picture as the enrolment folder has it, in a camera-sized frame.
    photo = cv::Mat(480, 640, CV_8UC3, cv::Scalar(110, 120, 130));
    const cv::Mat face = testsupport::EnrolPicture(heldBack);
    ASSERT_FALSE(face.empty());
    face.copyTo(photo(cv::Rect((640 - face.cols) / 2, (480 - face.rows) / 2, face.cols, face.rows)));
    StartCamera(port);
    RunProgramUntilRecognized(QStringLiteral("Savage John"), QStringLiteral("main_window_enrolled.png"));
}

}  // namespace

int main(int argc, char** argv) {
    // A real display when the test run has one (Xvfb), the offscreen platform otherwise.
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
