// The program's side of the link with runners made for the test: how it starts them, what it
// makes of what they leave in the block, and what it releases on every path.

#include "tests/integration/velox/velox_test_support.h"

#include "app/actions/velox_block.h"
#include "app/actions/velox_request.h"
#include "platform/hostinfo.h"
#include "platform/paths.h"
#include "platform/syserror.h"

#include <QProcess>
#include <QRegularExpression>

#include <dirent.h>
#include <signal.h>

#include <random>
#include <thread>

namespace {

using actions::ActionType;
using shell::ActionIcon;
using velotest::IconOf;
using velotest::VeloxRun;

int BlocksLeft(const std::string& ns) {
    int count = 0;
    DIR* shm = opendir("/dev/shm");
    while (const dirent* entry = readdir(shm)) count += std::string(entry->d_name).rfind(ns, 0) == 0 ? 1 : 0;
    closedir(shm);
    return count;
}

TEST_F(VeloxRun, RunnerGetsTheGuidAloneInTheProgramFolderAndAPrivateBlock) {
    // Writes a reply with result code 7 after noting what it was given.
    const QString runner = WriteFile("runner.py",
                                     QStringLiteral(R"(#!/usr/bin/python3
import os, sys, struct
block = "/dev/shm/" + os.environ.get("OSTROVID_IPC_NAMESPACE", "") + "OSTROVID_2_VELOX_MAP_FILE:" + sys.argv[1]
with open("%1", "w") as out:
    out.write(repr(sys.argv[1:]) + "\n" + os.getcwd() + "\n" + oct(os.stat(block).st_mode & 0o777) + "\n")
    with open(block, "r+b") as f:
        data = f.read()
        out.write(str(len(data)) + " " + str(struct.unpack_from("<II", data, 0)) + "\n")
        f.seek(0)
        f.write(struct.pack("<III", 0, 99, 7) + "сбой".encode("utf-16-le") + b"\0\0")
)")
                                         .arg(Path("seen.txt"))
                                         .toUtf8(),
                                     true);
    Run(*ScriptItem(ActionType::UnrecognizedScript, QStringLiteral("/opt/x.js"), 1, 5), runner);

    const QStringList seen = QString::fromUtf8(ReadFile("seen.txt")).split(u'\n');
    ASSERT_GE(seen.size(), 4);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\['\\{[0-9A-F-]{36}\\}'\\]$")).match(seen[0]).hasMatch())
        << seen[0].toStdString();
    EXPECT_EQ(seen[1], platform::ProgramFolder());
    EXPECT_EQ(seen[2], QStringLiteral("0o600"));
    EXPECT_EQ(seen[3], QStringLiteral("65536 (2, 18328)"));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::ScriptError);
    EXPECT_EQ(outcome.description, QStringLiteral("сбой"));
    EXPECT_EQ(BlocksLeft(namespace_), 0);
}

TEST_F(VeloxRun, RunnerWithoutReplyGivesTheRequestsOwnType) {
    const QString runner = WriteFile("silent.sh", "#!/bin/sh\nexit 0\n", true);
    const QString script = QStringLiteral("/opt/never.js");
    Run(*ScriptItem(ActionType::RecognizedScript, script, 1, 0), runner);
    Run(*ScriptItem(ActionType::UnrecognizedScript, script, 1, 0), runner);
    const auto entries = tab_.Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].description, script);
    EXPECT_EQ(IconOf(entries[0]), ActionIcon::ScriptStarted);
    EXPECT_EQ(IconOf(entries[1]), ActionIcon::Error);
    EXPECT_EQ(entries[1].actionText, QStringLiteral("Выполнение скрипта"));
    EXPECT_EQ(entries[1].description, QStringLiteral("Процесс выполнявший скрипт вернул неверный тип пакета: 1"));
    EXPECT_EQ(entries[3].description, QStringLiteral("Процесс выполнявший скрипт вернул неверный тип пакета: 2"));
    const QStringList log = LogLines();
    EXPECT_EQ(
        testsupport::CountLines(log, QStringLiteral("Запуск процесса Velox.exe для выполнения скрипта %1").arg(script)),
        2);
    EXPECT_TRUE(
        log.contains(QStringLiteral("Ошибка. Процесс Velox.exe, выполнявший скрипт '%1' вернул неверный тип пакета: 2.")
                         .arg(script)));
}

TEST_F(VeloxRun, MissingRunnerIsReportedAndTheWorkerReleasesFilesAndSlot) {
    auto item = ScriptItem(ActionType::RecognizedScript, QStringLiteral("/opt/x.js"), 1, 0);
    const QString picture = WriteFile("ostv{T}.jpg", "jpeg");
    item->files.emplace_back(picture);
    platform::Semaphore workerSlots(0);
    platform::Event started(false, false);
    actions::WorkerContext context{&termEvent_, &started, actions::WorkerSlot(workerSlots)};
    ASSERT_TRUE(actions::StartVeloxWorker(journal_, item, context, Path("no-such-runner")));
    ASSERT_TRUE(workerSlots.Wait(10000));
    EXPECT_FALSE(QFile::exists(picture));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::Error);
    EXPECT_EQ(outcome.actionText, QStringLiteral("Ошибка запуска приложения Velox.exe"));
    const QString notFound = platform::FormatSystemError(platform::kErrorFileNotFound, 512);
    EXPECT_FALSE(notFound.isEmpty());
    EXPECT_EQ(outcome.description, notFound);
    EXPECT_TRUE(LogLines().contains(QStringLiteral("Error: Can't execute Velox.exe : %1").arg(notFound)));
    EXPECT_TRUE(LogLines().contains(QStringLiteral("VeloxThreadFunc %1 completed.").arg(outcome.actionNumber)));
    EXPECT_EQ(BlocksLeft(namespace_), 0);
}

TEST_F(VeloxRun, RunnerPastTheWaitLimitIsLeftRunning) {
    const QString runner =
        WriteFile("slow.sh", QStringLiteral("#!/bin/sh\necho $$ > '%1'\nsleep 30\n").arg(Path("pid")).toUtf8(), true);
    const QString script = QStringLiteral("/opt/slow.js");
    const auto took = Run(*ScriptItem(ActionType::RecognizedScript, script, 1, 1), runner);
    EXPECT_GE(took, std::chrono::milliseconds(9900));
    EXPECT_LT(took, std::chrono::milliseconds(15000));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::Error);
    EXPECT_EQ(outcome.description, QStringLiteral("Не завершено в течение заданного времени"));
    EXPECT_TRUE(LogLines().contains(QStringLiteral("Ошибка. Процесс Velox.exe, запускающий VB скрипт '%1' не завершил "
                                                   "работу в течение заданного таймаута.")
                                        .arg(script)));
    const pid_t pid = ReadFile("pid").trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), 0);
    ::kill(pid, SIGKILL);
    EXPECT_EQ(BlocksLeft(namespace_), 0);
}

TEST_F(VeloxRun, ProgramEndStopsTheWaitWithoutReport) {
    const QString runner = WriteFile("slow.sh", "#!/bin/sh\nexec sleep 30\n", true);
    std::thread ender([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        termEvent_.Set();
    });
    const auto took = Run(*ScriptItem(ActionType::RecognizedScript, QStringLiteral("/opt/x.js"), 1, 0), runner);
    ender.join();
    EXPECT_LT(took, std::chrono::milliseconds(5000));
    EXPECT_EQ(tab_.Entries().size(), 1u);
    EXPECT_EQ(BlocksLeft(namespace_), 0);
}

}  // namespace

namespace {

TEST_F(VeloxRun, RunnerAnswersGarbageBlocksAndRefusesOddNames) {
    std::mt19937 random(99);
    for (int round = 0; round < 20; ++round) {
        const QString guid = platform::NewGuidText();
        actions::VeloxBlock block;
        ASSERT_EQ(block.Create(guid), platform::kErrorSuccess);
        std::vector<uint8_t> bytes(65536);
        for (uint8_t& byte : bytes) byte = uint8_t(random());
        if (round % 2) bytes[0] = 1, bytes[1] = bytes[2] = bytes[3] = 0;  // a request type over garbage
        settings::channel::ChannelArea area(bytes.data(), bytes.size());
        ASSERT_EQ(block.Write(area), platform::kErrorSuccess);
        QProcess runner;
        runner.start(VELOX_RUNNER, {guid});
        ASSERT_TRUE(runner.waitForFinished(10000));
        EXPECT_EQ(runner.exitStatus(), QProcess::NormalExit);
        ASSERT_TRUE(block.Read(area));
        const actions::VeloxReply reply = actions::ReadVeloxReply(area);
        EXPECT_EQ(reply.packetType, 0u);
        EXPECT_EQ(reply.resultCode, 3u) << reply.text.toStdString();
    }
    for (const QString& name : {QStringLiteral("../../etc/passwd"),
                                QStringLiteral("{00000000-0000-0000-0000-000000000000}"), QString(5000, u'{')}) {
        QProcess runner;
        runner.start(VELOX_RUNNER, {name});
        ASSERT_TRUE(runner.waitForFinished(10000));
        EXPECT_EQ(runner.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(runner.exitCode(), 3);
    }
}

}  // namespace
