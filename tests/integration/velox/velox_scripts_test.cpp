// The real runner with real scripts: every field arrives, the operator's time-out stops scripts
// and what they started, and failures come back as replies the program reports.

#include "tests/integration/velox/velox_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <signal.h>

#include <cstdio>
#include <future>
#include <thread>

namespace {

using actions::ActionType;
using shell::ActionIcon;
using velotest::IconOf;
using velotest::VeloxRun;

constexpr int32_t kExecutable = 0;
constexpr int32_t kJScript = 1;

TEST_F(VeloxRun, JScriptSeesEveryFieldOfBothEvents) {
    const QString out = Path("fields.txt");
    const QString script = WriteFile("fields.js", QStringLiteral(R"(
        var e = Event, t = e.eventTime;
        var common = [e.eventName, e.cameraName, e.timeout, e.allowUI, e.scriptType,
                      t instanceof Date, t.getFullYear(), t.getMonth() + 1, t.getDate(), t.getHours()];
        var own = e.eventName == "RecognizedPerson"
            ? [e.personId, e.confidence, e.listNumber, e.surname, e.forename, e.secondName, e.alias,
               e.externalKey, e.gender, e.dateOfBirth.getFullYear(), e.imageFile]
            : [e.firstSeen.getHours(), e.images.length].concat(e.images.map(function (i) {
                  return i.file + "@" + i.x + "," + i.y + "," + i.width + "," + i.height; }));
        Velox.writeText("%1", common.concat(own).join("|") + "\n", true);
        "готово";
    )")
                                                      .arg(out)
                                                      .toUtf8());

    Run(*ScriptItem(ActionType::RecognizedScript, script, kJScript, 30));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::Done);
    EXPECT_EQ(outcome.actionText, QStringLiteral("Cкрипт отработал нормально"));
    EXPECT_EQ(outcome.description, QStringLiteral("готово"));
    EXPECT_EQ(outcome.eventText, QStringLiteral("Персона распознана"));
    EXPECT_TRUE(LogLines().contains(QStringLiteral("Cкрипт '%1' отработал нормально: готово").arg(script)));

    Run(*ScriptItem(ActionType::UnrecognizedScript, script, kJScript, 30));
    const QStringList lines = QString::fromUtf8(ReadFile("fields.txt")).split(u'\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("RecognizedPerson|Проходная|30|false|1|true|2025|12|9|18|"
                                       "321|91.5|2|Петрова|Анна|Ильинична|Аня|EXT-7|0|1990|/tmp/ostv{1}.jpg"));
    EXPECT_EQ(lines[1], QStringLiteral("UnrecognizedPerson|Проходная|30|false|1|true|2025|12|9|18|"
                                       "12|2|/tmp/a b.png@1,2,30,40|/tmp/c.png@5,6,70,80"));
}

TEST_F(VeloxRun, ExecutableGetsEnvironmentAndJsonAndRepliesWithExitCodeAndErrorText) {
    const QString script = WriteFile("hook.sh",
                                     QStringLiteral("#!/bin/sh\nenv | grep '^OSTROVID_' | sort > '%1'\n"
                                                    "cat > '%2'\necho 'сделано' >&2\nexit 0\n")
                                         .arg(Path("env.txt"), Path("in.json"))
                                         .toUtf8(),
                                     true);
    Run(*ScriptItem(ActionType::UnrecognizedScript, script, kExecutable, 0));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::Done);
    EXPECT_EQ(outcome.description, QStringLiteral("сделано"));
    EXPECT_EQ(outcome.eventText, QStringLiteral("Персона не распознана"));

    const QStringList environment = QString::fromUtf8(ReadFile("env.txt")).split(u'\n', Qt::SkipEmptyParts);
    for (const char* expected :
         {"OSTROVID_EVENT_NAME=UnrecognizedPerson", "OSTROVID_CAMERA_NAME=Проходная",
          "OSTROVID_EVENT_TIME=2025-12-09T18:00:00.000", "OSTROVID_FIRST_SEEN=2025-12-09T12:00:00.000",
          "OSTROVID_IMAGE_COUNT=2", "OSTROVID_IMAGE_0_FILE=/tmp/a b.png", "OSTROVID_IMAGE_1_HEIGHT=80",
          "OSTROVID_TIMEOUT=0", "OSTROVID_ALLOW_U_I=0"})
        EXPECT_TRUE(environment.contains(QString::fromUtf8(expected))) << expected;
    const QJsonObject json = QJsonDocument::fromJson(ReadFile("in.json")).object();
    EXPECT_EQ(json[QStringLiteral("cameraName")].toString(), QStringLiteral("Проходная"));
    EXPECT_EQ(json[QStringLiteral("images")].toArray()[1].toObject()[QStringLiteral("file")].toString(),
              QStringLiteral("/tmp/c.png"));
}

TEST_F(VeloxRun, TimeOutStopsAnEndlessScriptAndEveryProcessItStarted) {
    const QString loop = WriteFile("loop.js", "var n = 0;\nwhile (true) { n++; }\n");
    EXPECT_LT(Run(*ScriptItem(ActionType::RecognizedScript, loop, kJScript, 1)), std::chrono::milliseconds(8000));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::ScriptError);
    EXPECT_EQ(outcome.actionText, QStringLiteral("Ошибка при выполненим скрипта"));
    EXPECT_TRUE(outcome.description.contains(QStringLiteral("прерван"))) << outcome.description.toStdString();

    // The child goes on in the background; the group is killed with its parent.
    const QString forks = WriteFile(
        "forks.sh",
        QStringLiteral("#!/bin/sh\nsleep 300 &\necho $! > '%1'\nsleep 300\n").arg(Path("child.pid")).toUtf8(), true);
    EXPECT_LT(Run(*ScriptItem(ActionType::RecognizedScript, forks, kExecutable, 1)), std::chrono::milliseconds(8000));
    const pid_t child = ReadFile("child.pid").trimmed().toInt();
    ASSERT_GT(child, 0);
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        gone = !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    EXPECT_TRUE(gone);
    if (!gone) ::kill(child, SIGKILL);
}

TEST_F(VeloxRun, MessageLeftOpenEndsWithTheTimeOut) {
    const QString script = WriteFile("message.js", "Velox.message('Внимание');\n'closed by hand';\n");
    auto item = ScriptItem(ActionType::RecognizedScript, script, kJScript, 1);
    std::get<actions::ScriptRequest>(item->payload).head.allowUI = 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto took = Run(*item);
    qunsetenv("QT_QPA_PLATFORM");
    EXPECT_LT(took, std::chrono::milliseconds(8000));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::ScriptError);
    EXPECT_TRUE(outcome.description.contains(QStringLiteral("прерван"))) << outcome.description.toStdString();
}

TEST_F(VeloxRun, ScriptFailuresComeBackAsRunTimeErrors) {
    struct Case {
        const char* name;
        QByteArray text;
        int32_t type;
        QString expected;
    };
    const QString directory = Path("folder.js");
    QDir().mkpath(directory);
    const std::vector<Case> cases{
        {"syntax.js", "var a = 1;\n\nfoo(;\n", kJScript, QStringLiteral("строке 3")},
        {"throws.js", "var a = 1;\nthrow new Error('boom');\n", kJScript, QStringLiteral("строке 2: Error: boom")},
        {"message.js", "Velox.message('hi');\n", kJScript, QStringLiteral("интерфейс пользователя не разрешён")},
        {"exit3.sh", "#!/bin/sh\necho 'bad input' >&2\nexit 3\n", kExecutable, QStringLiteral("bad input")},
        {"folder.js", {}, kJScript, QStringLiteral("не является файлом")},
    };
    for (const Case& c : cases) {
        const QString script = c.text.isEmpty() ? directory : WriteFile(c.name, c.text, true);
        const size_t before = tab_.Entries().size();
        Run(*ScriptItem(ActionType::RecognizedScript, script, c.type, 0));
        const auto entries = tab_.Entries();
        ASSERT_EQ(entries.size(), before + 2) << c.name;
        EXPECT_EQ(IconOf(entries.back()), ActionIcon::ScriptError) << c.name;
        EXPECT_TRUE(entries.back().description.contains(c.expected))
            << c.name << ": " << entries.back().description.toStdString();
        EXPECT_TRUE(LogLines().contains(
            QStringLiteral("Процесс Velox.exe, выполнявший скрипт '%1' вернул описание ошибки времени выполнения: %2")
                .arg(script, entries.back().description)))
            << c.name;
    }
}

TEST_F(VeloxRun, MegabytesOnStandardErrorGiveTheFirstCharactersOnly) {
    const QString script =
        WriteFile("noisy.sh", "#!/bin/sh\nhead -c 5000000 /dev/zero | tr '\\0' 'x' >&2\nexit 7\n", true);
    Run(*ScriptItem(ActionType::RecognizedScript, script, kExecutable, 20));
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::ScriptError);
    EXPECT_EQ(outcome.description, QString(4000, u'x'));
}

TEST_F(VeloxRun, CheckReportsSyntaxErrorsWithTheirLineWithoutRunning) {
    const QString good =
        WriteFile("good.js", QStringLiteral("Velox.writeText('%1', 'ran');\n").arg(Path("ran")).toUtf8());
    const QString bad = WriteFile("bad.js", "var a = 1;\nvar b = ;\n");
    const QString shellBad = WriteFile("bad.sh", "#!/bin/sh\nif then\n", true);
    QProcess check;
    check.start(VELOX_RUNNER, {QStringLiteral("--check"), good, QStringLiteral("1")});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(Path("ran")));

    check.start(VELOX_RUNNER, {QStringLiteral("--check"), bad, QStringLiteral("1")});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(check.readAllStandardError()).contains(QStringLiteral("строке 2")));

    check.start(VELOX_RUNNER, {QStringLiteral("--check"), shellBad, QStringLiteral("0")});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 1);
}

TEST_F(VeloxRun, StartToReplyOfAnEmptyJScript) {
    const QString script = WriteFile("empty.js", "");
    std::chrono::milliseconds best(1000000);
    for (int i = 0; i < 5; ++i)
        best = std::min(best, Run(*ScriptItem(ActionType::RecognizedScript, script, kJScript, 0)));
    std::printf("Velox start-to-reply for an empty JScript script: %lld ms (best of 5)\n",
                static_cast<long long>(best.count()));
    EXPECT_EQ(IconOf(tab_.Entries().back()), ActionIcon::Done);
}

}  // namespace

namespace {

// Answers `count` HTTP requests with "<method> <path> <body>".
class EchoServer {
public:
    explicit EchoServer(int count) {
        std::promise<quint16> port;
        // A thread of Qt's own: Qt frees the data of a thread it started when it ends.
        thread_.reset(QThread::create([count, &port] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost);
            port.set_value(server.serverPort());
            for (int i = 0; i < count && server.waitForNewConnection(10000); ++i) {
                std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
                QByteArray request;
                while (!request.contains("\r\n\r\n") && socket->waitForReadyRead(5000)) request += socket->readAll();
                const qsizetype headEnd = request.indexOf("\r\n\r\n") + 4;
                const QByteArray head = request.left(headEnd).toLower();
                const qsizetype lengthAt = head.indexOf("content-length:");
                const int length =
                    lengthAt < 0
                        ? 0
                        : head.mid(lengthAt + 15, head.indexOf('\r', lengthAt) - lengthAt - 15).trimmed().toInt();
                while (request.size() - headEnd < length && socket->waitForReadyRead(5000))
                    request += socket->readAll();
                const QList<QByteArray> line = request.left(request.indexOf('\r')).split(' ');
                const QByteArray body = line.value(0) + ' ' + line.value(1) + ' ' + request.mid(headEnd);
                socket->write(
                    "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n"
                    "Content-Length: " +
                    QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->waitForBytesWritten(5000);
                socket->disconnectFromHost();
            }
        }));
        thread_->start();
        port_ = port.get_future().get();
    }
    ~EchoServer() { thread_->wait(); }
    quint16 Port() const { return port_; }

private:
    quint16 port_ = 0;
    std::unique_ptr<QThread> thread_;
};

TEST_F(VeloxRun, HostObjectRunsProgramsReadsFilesAndTalksHttp) {
    EchoServer server(2);
    WriteFile("in.txt", "входные данные");
    const QString script = WriteFile("host.js", QStringLiteral(R"(
        Velox.log("из скрипта");
        var code = Velox.run("/bin/sh", ["-c", "exit 5"]);
        var text = Velox.readText("%1");
        var got = Velox.httpGet("http://127.0.0.1:%2/get");
        var posted = Velox.httpPost("http://127.0.0.1:%2/post", "тело");
        var missing = "not thrown";
        try { Velox.readText("/no/such/file"); } catch (e) { missing = "caught"; }
        [code, text, got, posted, missing].join("|");
    )")
                                                    .arg(Path("in.txt"))
                                                    .arg(server.Port())
                                                    .toUtf8());
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir_.path().toLocal8Bit());
    Run(*ScriptItem(ActionType::RecognizedScript, script, kJScript, 30));
    qputenv("TMPDIR", oldTemp);
    auto outcome = Outcome();
    EXPECT_EQ(IconOf(outcome), ActionIcon::Done);
    EXPECT_EQ(outcome.description, QStringLiteral("5|входные данные|GET /get |POST /post тело|caught"));
    EXPECT_TRUE(testsupport::LogLines(Path("Velox.log")).contains(QStringLiteral("Velox %1: из скрипта").arg(script)));
}

}  // namespace
