// The demonstration as ./run.sh starts it, with the program in this process: prepared by its
// script, its camera server on its video, its settings with the camera's port, the real service.
// The window says it is the demonstration; an enrolled person is journaled, announced with his
// list's greeting and written to the CSV log; an unknown visitor who leaves is kept by the
// demonstration's script (run through Velox). Waits are generous: the loop lasts over a minute
// and the computer is busy.

#include "app/actions/alert_outputs.h"
#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/support/demo_folder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

using namespace endtoend;

// Nothing comes out; what the program asks for is noted (the sound itself is tested elsewhere).
class NotedAlerts final : public actions::AlertOutputs {
public:
    bool SoundAvailable() const override { return true; }
    bool SpeechAvailable() const override { return true; }
    void PlayAlertSound(const QString&) override { ++sounds; }
    void PlayAlertSound(actions::BuiltInSound) override { ++sounds; }
    void SpeakAlertText(const QString& text) override { spoken.append(text); }

    int sounds = 0;
    QStringList spoken;
};

const QStringList kEnrolled{QStringLiteral("Иванов Пётр"), QStringLiteral("Петров Сергей"),
                            QStringLiteral("Сидоров Алексей")};

QString RecognizedName(ui::MainFrame& frame) {
    for (const QString& name : kEnrolled)
        if (HasRecognitionRow(frame, name)) return name;
    return {};
}

QString FileText(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
}

class DemoEndToEnd : public ProgramFixture {
protected:
    // The demonstration's folder prepared and its variables set in this process, as the start
    // script sets them; the shared objects keep this test's own prefix.
    void PrepareAndEnter() {
        const testsupport::ScriptRun prepared = testsupport::PrepareDemo(demo);
        ASSERT_EQ(prepared.status, 0) << prepared.errors.toStdString();
        const QMap<QString, QString> layout = testsupport::DemoLayout(demo);
        ASSERT_TRUE(layout.contains(QStringLiteral("OSTROVID_REGISTRY")));
        for (auto it = layout.cbegin(); it != layout.cend(); ++it)
            if (it.key() != QStringLiteral("OSTROVID_IPC_NAMESPACE"))
                ::setenv(qPrintable(it.key()), qPrintable(it.value()), 1);
        dataFolder = layout.value(QStringLiteral("OSTROVID_COMMON_APPDATA")) + QStringLiteral("/Vektra/Ostrovid");
    }

    // The camera server on a free port, and the store told its address, as the start script does.
    void StartCamera() {
        const QString portFile = demo + QStringLiteral("/tmp/camera.port");
        ASSERT_TRUE(camera.Start({"/usr/bin/python3", testsupport::DemoScript("camera_server.py").toStdString(),
                                  (demo + QStringLiteral("/camera.mjpeg")).toStdString(), portFile.toStdString(), "0"},
                                 -1, env.Path("camera.out")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(portFile).size() > 0; }, 30000));
        const QString url = QStringLiteral("http://127.0.0.1:%1/demo").arg(FileText(portFile).trimmed());
        QProcess settings;
        settings.start(QStringLiteral(OSTROVID_DEMO_TOOL),
                       {QStringLiteral("settings"), QStringLiteral("--camera-url"), url, QStringLiteral("--script"),
                        demo + QStringLiteral("/unknown-visitor.sh"), QStringLiteral("--csv"), dataFolder});
        ASSERT_TRUE(settings.waitForFinished(30000));
        ASSERT_EQ(settings.exitCode(), 0) << settings.readAllStandardError().toStdString();
    }

    QString demo = env.dir.filePath("demo");
    QString dataFolder;
};

TEST_F(DemoEndToEnd, TheTitleSaysDemonstrationAPersonIsAnnouncedAndAnUnknownVisitorIsKept) {
    ASSERT_NO_FATAL_FAILURE(PrepareAndEnter());
    ASSERT_NO_FATAL_FAILURE(StartCamera());
    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(StartServiceAndAttach(objects));
    {
        NotedAlerts alerts;
        app::ProgramWindow program(objects, *models, *hub, {&alerts, nullptr, nullptr});
        QElapsedTimer sinceStart;
        sinceStart.start();
        ASSERT_TRUE(program.Create());
        ui::MainFrame& frame = program.Frame();
        frame.show();
        EXPECT_TRUE(frame.windowTitle().contains(QStringLiteral("демонстрация"))) << frame.windowTitle().toStdString();
        EXPECT_TRUE(frame.windowTitle().contains(QStringLiteral("./run.sh --no-demo")));

        // The loop shows every known person within about seventy seconds.
        QString name;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !(name = RecognizedName(frame)).isEmpty(); }, 240000));
        std::printf("window to the first journaled recognition (%s): %.1f s\n", qUtf8Printable(name),
                    sinceStart.elapsed() / 1000.0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.spoken.isEmpty(); }, 10000));
        std::printf("window to the first spoken text (%s): %.1f s\n", qUtf8Printable(alerts.spoken.front()),
                    sinceStart.elapsed() / 1000.0);
        // Each list greets in its own words, with the person's name.
        const QString greeting = alerts.spoken.front();
        EXPECT_TRUE(kEnrolled.contains(greeting.section(u':', -1).section(u',', -1).trimmed())) << greeting.toStdString();
        EXPECT_FALSE(greeting.startsWith(QStringLiteral("Внимание, "))) << greeting.toStdString();
        EXPECT_GE(alerts.sounds, 1);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return FileText(dataFolder + QStringLiteral("/Recgnzd0.txt")).contains(name.section(u' ', 0, 0)); },
            30000));

        // Somebody nobody enrolled walks through: the script keeps his picture and the visit.
        const QString visits = dataFolder + QStringLiteral("/Unknown/visits.txt");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !FileText(visits).isEmpty(); }, 240000));
        std::printf("window to the first kept unknown visitor: %.1f s\n", sinceStart.elapsed() / 1000.0);
        EXPECT_FALSE(QDir(dataFolder + QStringLiteral("/Unknown")).entryList({QStringLiteral("*.jpg")}).isEmpty())
            << FileText(visits).toStdString();
        frame.close();
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
    EXPECT_TRUE(env.Log().contains(QStringLiteral("Выполнение действий для события нераспознанной персоны")));
}

}  // namespace
