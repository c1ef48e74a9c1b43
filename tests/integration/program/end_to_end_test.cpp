// The whole program in this process: a person enrolled in the embedded database from a photo
// through the program's own face analysis, or persons enrolled by ostrovid-enrol from a folder;
// an HTTP camera on loopback streaming a photo, the real service for the settings; the camera
// starts by itself and the person is recognized.

#include "app/actions/alert_devices.h"
#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/support/enrol_folders.h"
#include "tests/unit/camera/camera_test_support.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <csignal>

namespace {

using namespace endtoend;

class EndToEnd : public ProgramFixture {
protected:
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
        shell::ProgramObjects objects;
        ASSERT_NO_FATAL_FAILURE(StartServiceAndAttach(objects));
        {
            actions::AlertDevices alerts;
            app::ProgramWindow program(objects, *models, *hub, {&alerts, &alerts.Voices()});
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
