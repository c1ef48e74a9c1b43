// Ostrovid started as the operator starts it, beside a real OstrovidSvc: the wait for the
// service, the single-instance rule, cancelling the wait and the stop sequence.

#include "tests/integration/program/program_environment.h"
#include "tests/integration/service/child_process.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/wait.h>

#include <algorithm>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

class Program : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("QT_QPA_PLATFORM", "offscreen", 1); }

    void TearDown() override { StopChildren({&program, &service}); }

    std::string Path(const char* sub) const { return env.Path(sub); }
    QStringList Log() const { return env.Log(); }
    bool LogShows(const QString& text, std::chrono::milliseconds limit) const { return env.LogShows(text, limit); }

    void StartService() { ASSERT_TRUE(service.Start({OSTROVID_SVC_BINARY, "-debug"}, -1, Path("svc.out"))); }
    void StartProgram(testsupport::ChildProcess& child) {
        ASSERT_TRUE(child.Start({OSTROVID_PROGRAM_BINARY}, -1, Path("program.out")));
    }

    static bool ExitedWithZero(int status) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

    ProgramEnvironment env;
    testsupport::ChildProcess service;
    testsupport::ChildProcess program;
};

const QString kWaiting = QStringLiteral("OstrovidSvc must be started before. Waiting...");
const QString kStarted = QStringLiteral("Vektra Ostrovid v.2.2.0 started.");
// The last line ends in "\n\r\n\r" before its CR LF; read back, its first part is this.
const QString kCompleted = QStringLiteral("Vektra Ostrovid v.2.2.0 completed.\n");

TEST_F(Program, WaitsForTheServiceAttachesRefusesASecondCopyAndStopsInOrder) {
    StartProgram(program);
    ASSERT_TRUE(LogShows(kWaiting, 20s));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(testsupport::CountLines(Log(), kWaiting), 1);

    const auto serviceStart = std::chrono::steady_clock::now();
    StartService();
    ASSERT_TRUE(LogShows(kStarted, 60s));
    // Models load between the attach and this line; the attach itself follows within a second.
    std::printf("attached and started %.1f s after the service\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - serviceStart).count());

    testsupport::ChildProcess second;
    StartProgram(second);
    EXPECT_TRUE(ExitedWithZero(second.Wait(30000)));
    EXPECT_EQ(testsupport::CountLines(Log(), QStringLiteral("One instance of application already running. Exit.")), 1);

    ASSERT_TRUE(program.Signal(SIGTERM));
    EXPECT_TRUE(ExitedWithZero(program.Wait(30000)));
    const QStringList log = Log();
    QStringList order = StopSequenceLines();
    order.append(kCompleted);
    ExpectLinesInOrder(log, order, log.indexOf(kStarted));
}

TEST_F(Program, CancellingTheWaitEndsWithCodeZero) {
    StartProgram(program);
    ASSERT_TRUE(LogShows(kWaiting, 20s));
    // SIGTERM stands for the operator's "Отмена" while the splash waits.
    ASSERT_TRUE(program.Signal(SIGTERM));
    EXPECT_TRUE(ExitedWithZero(program.Wait(20000)));
    const QStringList log = Log();
    EXPECT_TRUE(log.contains(QStringLiteral("InitSyncObjectsDialog: User press Cancel button.")));
    EXPECT_TRUE(log.contains(kCompleted));
    EXPECT_FALSE(log.contains(kStarted));
    // Nothing of the program is left in the shared folder.
    bool leftovers = false;
    for (const QString& name : QDir(QStringLiteral("/dev/shm")).entryList(QDir::AllEntries | QDir::System))
        leftovers = leftovers || name.startsWith(QString::fromStdString(env.ns));
    EXPECT_FALSE(leftovers);
}

TEST_F(Program, ADamagedModelFileEndsStartUpInOrder) {
    // A copy of the program in a folder of its own, whose Data/ holds a cut network file.
    const QString folder = env.dir.filePath("bin");
    ASSERT_TRUE(QDir().mkpath(folder + "/Data"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(OSTROVID_PROGRAM_BINARY), folder + "/Ostrovid"));
    QFile::setPermissions(folder + "/Ostrovid", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString data = QFileInfo(QStringLiteral(OSTROVID_PROGRAM_BINARY)).dir().filePath("Data");
    ASSERT_TRUE(QFile::link(QFileInfo(data + "/shape_predictor_68_face_landmarks.dat").canonicalFilePath(),
                            folder + "/Data/shape_predictor_68_face_landmarks.dat"));
    QFile network(folder + "/Data/dlib_face_recognition_resnet_model_v1.dat");
    ASSERT_TRUE(network.open(QIODevice::WriteOnly));
    network.write(QByteArray(1000, '\x01'));
    network.close();

    StartService();
    ASSERT_TRUE(program.Start({(folder + "/Ostrovid").toStdString()}, -1, Path("program.out")));
    const auto modelsRefused = [this] {
        const QStringList log = Log();
        return std::any_of(log.cbegin(), log.cend(), [](const QString& line) {
            return line.startsWith(QStringLiteral("Face models not loaded: "));
        });
    };
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!modelsRefused() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(modelsRefused());
    // The operator acknowledges the message (here: the stop signal closes it).
    ASSERT_TRUE(program.Signal(SIGTERM));
    EXPECT_TRUE(ExitedWithZero(program.Wait(20000)));
    EXPECT_TRUE(Log().contains(kCompleted));
    EXPECT_FALSE(Log().contains(kStarted));
}

TEST_F(Program, AMissingDataFolderEndsStartUp) {
    ASSERT_TRUE(QDir(env.dir.filePath("data")).removeRecursively());
    StartProgram(program);
    EXPECT_TRUE(ExitedWithZero(program.Wait(20000)));
    EXPECT_TRUE(Log().contains(QStringLiteral("Program Data Folder not exist. Done.")));
}

}  // namespace
