// The service host as a user meets it: the command line, install and remove against a stand-in
// systemctl, the dispatcher outside systemd, the service mode's state reports and event-log
// entries, and the console stop in debug mode.

#include "service/command_line.h"
#include "tests/integration/service/service_fixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <grp.h>
#include <pwd.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <algorithm>
#include <vector>

namespace {

// A datagram socket bound in the test folder, standing in for /dev/log or systemd's notify socket.
class DatagramSink {
public:
    explicit DatagramSink(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un at{};
        at.sun_family = AF_UNIX;
        std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    }
    ~DatagramSink() { close(fd_); }
    bool Bound() const { return bound_; }
    // The next datagram within timeoutMs, or empty.
    std::string Next(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return {};
        char buffer[4096];
        const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
        return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
    }

private:
    int fd_;
    bool bound_ = false;
};

class ServiceHost : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        // Outside systemd, whatever environment the test runner was started from.
        ::unsetenv("NOTIFY_SOCKET");
        ::unsetenv("INVOCATION_ID");
        // -install adds the account that ran sudo to the operators; the test runner's must not be.
        ::unsetenv("SUDO_USER");
        QDir().mkpath(dir.filePath("units"));
        ::setenv("OSTROVID_SYSTEMD_UNIT_DIR", Path("units").c_str(), 1);
        ::setenv("STUB_DIR", Path("").c_str(), 1);
        const std::string stub = Path("systemctl");
        QFile script(QString::fromStdString(stub));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        // Records its arguments; is-active answers the next line of "states" (then "inactive").
        script.write(
            "#!/bin/sh\n"
            "echo \"$*\" >> \"$STUB_DIR/calls\"\n"
            "case \"$1\" in\n"
            "is-active) s=$(head -n1 \"$STUB_DIR/states\" 2>/dev/null); sed -i 1d \"$STUB_DIR/states\" 2>/dev/null;\n"
            "  [ -n \"$s\" ] || s=inactive; echo \"$s\"; [ \"$s\" = active ];;\n"
            "enable) exit $(cat \"$STUB_DIR/enable_rc\" 2>/dev/null || echo 0);;\n"
            "is-system-running) cat \"$STUB_DIR/system_state\" 2>/dev/null || echo running;;\n"
            "esac\n");
        script.close();
        ::chmod(stub.c_str(), 0755);
        ::setenv("OSTROVID_SYSTEMCTL", stub.c_str(), 1);
    }

    // Runs OstrovidSvc with the arguments to its end; its standard output.
    std::string Run(std::vector<std::string> arguments, int exitCode = 0) {
        arguments.insert(arguments.begin(), OSTROVID_SVC_BINARY);
        testsupport::ChildProcess child;
        EXPECT_TRUE(child.Start(arguments));
        std::string output, line;
        while (child.ReadLine(&line, 20000)) output += line + "\n";
        const int status = child.Wait(20000);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == exitCode) << status;
        return output;
    }

    void States(const char* lines) { Write("states", lines); }

    void Write(const char* name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // Starts the service as systemd would, with the notify socket, and waits until it runs.
    void StartUnderSystemd(DatagramSink& notify, DatagramSink& syslog) {
        ASSERT_TRUE(notify.Bound() && syslog.Bound());
        ::setenv("NOTIFY_SOCKET", Path("notify").c_str(), 1);
        ::setenv("INVOCATION_ID", "0123456789abcdef0123456789abcdef", 1);
        ASSERT_TRUE(service.Start({OSTROVID_SVC_BINARY}, -1, Path("svc.out")));
        ::unsetenv("NOTIFY_SOCKET");
        ::unsetenv("INVOCATION_ID");
    }

    QString Calls() {
        QFile file(dir.filePath("calls"));
        QString calls = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        QFile::remove(dir.filePath("calls"));
        return calls;
    }

    QString UnitFile() const { return dir.filePath("units/OstrovidSvc.service"); }
};

const char kUsage[] =
    "\nUsage:\n\tOstrovidSvc -install\t\tto install the service\n"
    "\tOstrovidSvc -remove\t\tto remove the service\n"
    "\nStartServiceCtrlDispatcher being called.\nThis may take several seconds. Please wait...\n";

TEST_F(ServiceHost, CommandWordsNeedADashOrSlashAndIgnoreCase) {
    using service::Command;
    auto parse = [](std::vector<const char*> argv) { return service::ParseCommandLine(int(argv.size()), argv.data()); };
    EXPECT_EQ(parse({"OstrovidSvc", "/INSTALL"}), Command::Install);
    EXPECT_EQ(parse({"OstrovidSvc", "-Install"}), Command::Install);
    EXPECT_EQ(parse({"OstrovidSvc", "/remove"}), Command::Remove);
    EXPECT_EQ(parse({"OstrovidSvc", "-DeBuG", "extra"}), Command::Debug);
    EXPECT_EQ(parse({"OstrovidSvc", "install"}), Command::Dispatch);
    EXPECT_EQ(parse({"OstrovidSvc", "--install"}), Command::Dispatch);
    EXPECT_EQ(parse({"OstrovidSvc", "-"}), Command::Dispatch);
    EXPECT_EQ(parse({"OstrovidSvc"}), Command::Dispatch);
}

TEST_F(ServiceHost, WithoutSystemdTheDispatcherFailsWithItsEvent) {
    DatagramSink syslog(Path("syslog"));
    ASSERT_TRUE(syslog.Bound());
    EXPECT_EQ(Run({"install"}), kUsage);
    const QString entry = QString::fromStdString(syslog.Next(5000));
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^<27>[A-Z][a-z]{2} [ 123]\\d \\d\\d:\\d\\d:\\d\\d OstrovidSvc\\[\\d+\\]: Event "
                           "0xC0FF0001: Процесс службы не может соединиться с контроллером службы\\. \\(1063\\)$"))
            .match(entry)
            .hasMatch())
        << entry.toStdString();
    EXPECT_TRUE(Calls().isEmpty());
}

TEST_F(ServiceHost, InstallWritesTheUnitAndStartsIt) {
    States("activating\nactivating\nactive\n");
    // The store folder the test made is narrowed for the unit, and that is said.
    std::string expected = "Ostrovid Service installed.\nOstrovid Service started.\n";
    const std::optional<gid_t> operators = platform::OperatorGroupId();
    if (geteuid() == 0 && operators)
        expected = QStringLiteral("Folder '%1' was 0:0 0755, now 0:%2 0750.\n")
                       .arg(dir.filePath("store"))
                       .arg(*operators)
                       .toStdString() +
                   expected;
    EXPECT_EQ(Run({"/INSTALL"}), expected);
    EXPECT_EQ(Calls(),
              "daemon-reload\nenable --now OstrovidSvc.service\nis-active OstrovidSvc.service\n"
              "is-active OstrovidSvc.service\nis-active OstrovidSvc.service\n");
    QFile unit(UnitFile());
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    EXPECT_EQ(unit.readAll().toStdString(), service::UnitFileText(OSTROVID_SVC_BINARY).toStdString());
    EXPECT_TRUE(service::UnitFileText(OSTROVID_SVC_BINARY).contains("\nExecStart=" OSTROVID_SVC_BINARY "\n"));
    const std::string d = dir.path().toStdString() + "/";
    EXPECT_EQ(
        service::UnitFileText("/opt/my apps/100%/OstrovidSvc").toStdString(),
        "# Ostrovid Service.\n[Unit]\nDescription=Ostrovid Service\n\n[Service]\nType=notify\nNotifyAccess=main\n"
        "ExecStart=\"/opt/my apps/100%%/OstrovidSvc\"\nUser=root\nRestart=on-failure\nRestartSec=2s\n"
        "NoNewPrivileges=yes\nProtectSystem=strict\nReadWritePaths=" +
            d + "store " + d + "data/Vektra/Ostrovid " + d + "svclog " + d +
            "autostart /dev/shm\n"
            "ProtectHome=yes\nPrivateTmp=yes\nProtectKernelTunables=yes\nProtectKernelModules=yes\n"
            "ProtectControlGroups=yes\n"
            "CapabilityBoundingSet=CAP_NET_ADMIN CAP_CHOWN CAP_FOWNER CAP_FSETID CAP_DAC_OVERRIDE CAP_SYS_PTRACE\n"
            "\n[Install]\nWantedBy=multi-user.target\n");
    // A build under a home folder must stay visible to the service it starts.
    EXPECT_TRUE(service::UnitFileText("/home/op/build/bin/OstrovidSvc").contains("\nProtectHome=read-only\n"));
    // The folders the unit lets the service write exist before it starts.
    for (const char* folder : {"store", "data/Vektra/Ostrovid", "svclog", "autostart"})
        EXPECT_TRUE(QFileInfo(dir.filePath(folder)).isDir()) << folder;
    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (!analyze.isEmpty()) {
        QProcess verify;
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(analyze, {QStringLiteral("verify"), UnitFile()});
        ASSERT_TRUE(verify.waitForFinished(60000));
        // verify exits with 0 even for keys it ignores; those it names in its output.
        const QByteArray said = verify.readAll();
        EXPECT_EQ(verify.exitCode(), 0) << said.toStdString();
        EXPECT_TRUE(said.trimmed().isEmpty()) << said.toStdString();
    }

    EXPECT_EQ(Run({"-install"}), "CreateService failed - Указанная служба уже существует. (1073)\n");
    QFile::remove(UnitFile());
    QFile rc(dir.filePath("enable_rc"));
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
    rc.write("1\n");
    rc.close();
    EXPECT_EQ(Run({"-install"}),
              "Ostrovid Service installed.\n"
              "Start service failed - Служба не ответила на запрос своевременно. (1053)\n");
    ::setenv("OSTROVID_SYSTEMD_UNIT_DIR", Path("no-such-folder").c_str(), 1);
    EXPECT_EQ(Run({"-install"}), "OpenSCManager failed - Не удается найти указанный файл. (2)\n");
}

TEST_F(ServiceHost, InstallAddsTheAccountThatRanSudoToTheOperators) {
    const std::optional<gid_t> operators = platform::OperatorGroupId();
    if (!operators) GTEST_SKIP() << "the group ostrovid cannot be made here";
    if (geteuid() != 0) GTEST_SKIP() << "the store folder is given to the group by root";
    const passwd* nobody = getpwnam("nobody");
    if (!nobody) GTEST_SKIP() << "no user nobody";
    int count = 64;
    std::vector<gid_t> groups(64);
    ASSERT_GE(getgrouplist("nobody", nobody->pw_gid, groups.data(), &count), 0);
    groups.resize(static_cast<size_t>(count));
    if (std::find(groups.begin(), groups.end(), *operators) != groups.end()) GTEST_SKIP() << "nobody is an operator";

    // A stand-in usermod that records its arguments and exits with the code in usermod_rc.
    QDir().mkpath(dir.filePath("bin"));
    Write("bin/usermod",
          "#!/bin/sh\necho \"usermod $*\" >> \"$STUB_DIR/calls\"\n"
          "exit $(cat \"$STUB_DIR/usermod_rc\" 2>/dev/null || echo 0)\n");
    ::chmod(Path("bin/usermod").c_str(), 0755);
    const QByteArray path = qgetenv("PATH");
    ::setenv("PATH", (dir.filePath("bin").toLocal8Bit() + ':' + path).constData(), 1);
    ::setenv("SUDO_USER", "nobody", 1);
    ::chmod(Path("store").c_str(), 0750);
    ASSERT_EQ(::chown(Path("store").c_str(), 0, *operators), 0);
    States("active\n");
    EXPECT_EQ(Run({"-install"}),
              "User nobody added to group ostrovid (from the next login on).\n"
              "Ostrovid Service installed.\nOstrovid Service started.\n");
    EXPECT_TRUE(Calls().startsWith("usermod -a -G ostrovid nobody\ndaemon-reload\n"));

    // A step that fails says why, fails the command and installs nothing.
    QFile::remove(UnitFile());
    Write("usermod_rc", "6\n");
    EXPECT_EQ(Run({"-install"}, 1), "User nobody cannot be added to group ostrovid - usermod exited with 6\n");
    EXPECT_FALSE(QFile::exists(UnitFile()));
    EXPECT_EQ(Calls(), "usermod -a -G ostrovid nobody\n");

    // Root itself is nobody to add.
    ::setenv("SUDO_USER", "root", 1);
    States("active\n");
    EXPECT_EQ(Run({"-install"}), "Ostrovid Service installed.\nOstrovid Service started.\n");
    EXPECT_FALSE(Calls().contains("usermod"));
    ::unsetenv("SUDO_USER");
    ::setenv("PATH", path.constData(), 1);
}

TEST_F(ServiceHost, RemoveStopsARunningServiceAndDeletesTheUnit) {
    EXPECT_EQ(Run({"-remove"}), "OpenService failed - Указанная служба не установлена. (1060)\n");

    Run({"-install"});
    Calls();
    States("inactive\n");
    EXPECT_EQ(Run({"/Remove"}), "Ostrovid Service removed.\n");
    EXPECT_FALSE(QFile::exists(UnitFile()));
    EXPECT_EQ(Calls(), "is-active OstrovidSvc.service\ndisable OstrovidSvc.service\ndaemon-reload\n");

    Run({"-install"});
    Calls();
    States("active\ndeactivating\ninactive\n");
    EXPECT_EQ(Run({"-remove"}), "Stopping Ostrovid Service.\nOstrovid Service stopped.\nOstrovid Service removed.\n");
    EXPECT_EQ(Calls(),
              "is-active OstrovidSvc.service\nstop OstrovidSvc.service\nis-active OstrovidSvc.service\n"
              "is-active OstrovidSvc.service\ndisable OstrovidSvc.service\ndaemon-reload\n");
}

TEST_F(ServiceHost, StartedBySystemdItReportsItsStatesAndEvents) {
    DatagramSink notify(Path("notify"));
    DatagramSink syslog(Path("syslog"));
    StartUnderSystemd(notify, syslog);

    EXPECT_EQ(notify.Next(5000), "STATUS=Start pending, check point 1\nEXTEND_TIMEOUT_USEC=3000000");
    EXPECT_EQ(notify.Next(5000), "STATUS=Start pending, check point 2\nEXTEND_TIMEOUT_USEC=3000000");
    EXPECT_EQ(notify.Next(5000), "STATUS=Start pending, check point 3");
    EXPECT_EQ(notify.Next(5000), "READY=1\nSTATUS=Running");
    EXPECT_NE(syslog.Next(5000).find("<30>"), std::string::npos);
    Attach();
    EXPECT_TRUE(WaitForServiceLine("Ostrovid Service 2.2.0 is running.", 5000));

    // A stop of the service alone: the manager says the system runs, so no shutdown event.
    service.Signal(SIGTERM);
    EXPECT_EQ(notify.Next(5000), "STOPPING=1\nSTATUS=Stop pending, check point 4");
    const std::string ended = syslog.Next(5000);
    EXPECT_NE(ended.find("Event 0x40FF0004: OstrovidSvc"), std::string::npos) << ended;
    EXPECT_EQ(notify.Next(5000), "STATUS=Stopped");
    EXPECT_NE(service.Wait(10000), -1);
    EXPECT_TRUE(Calls().contains("is-system-running\n"));
    EXPECT_FALSE(ServiceLog().join('\n').contains("SERVICE_CONTROL_SHUTDOWN"));
}

TEST_F(ServiceHost, ASystemShutdownWritesItsEventAndLineBeforeTheStop) {
    DatagramSink notify(Path("notify"));
    DatagramSink syslog(Path("syslog"));
    StartUnderSystemd(notify, syslog);
    EXPECT_NE(syslog.Next(5000).find("Event 0x40FF0003"), std::string::npos);
    ASSERT_TRUE(WaitForServiceLine("Ostrovid Service 2.2.0 is running.", 5000));

    Write("system_state", "stopping\n");
    service.Signal(SIGTERM);
    const QString shutdown = QString::fromStdString(syslog.Next(5000));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<28>[A-Z][a-z]{2} [ 123]\\d \\d\\d:\\d\\d:\\d\\d "
                                                  "OstrovidSvc\\[\\d+\\]: Event 0x80FF0005: OstrovidSvc$"))
                    .match(shutdown)
                    .hasMatch())
        << shutdown.toStdString();
    EXPECT_NE(syslog.Next(5000).find("Event 0x40FF0004: OstrovidSvc"), std::string::npos);
    EXPECT_NE(service.Wait(10000), -1);
    const QStringList log = ServiceLog();
    const qsizetype line =
        log.indexOf("Service will be stopped because SERVICE_CONTROL_SHUTDOWN control code was accepted.");
    ASSERT_GE(line, 0);
    EXPECT_LT(line, log.indexOf("ServiceStopEvent singaled."));
    EXPECT_EQ(log.count("Service will be stopped because SERVICE_CONTROL_SHUTDOWN control code was accepted."), 1);
}

TEST_F(ServiceHost, DebugModeStopsOnCtrlCAfterTheChannelThread) {
    StartService();
    Attach();
    ASSERT_TRUE(WaitForServiceLine("Ostrovid Service 2.2.0 is running.", 5000));
    service.Signal(SIGINT);
    const int status = service.Wait(10000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const QStringList log = ServiceLog();
    QStringList tail = log.mid(log.indexOf("ServiceStopEvent singaled."));
    // The channel thread's own lines may come before or after the main thread's waiting line,
    // but always before the main thread sees it completed.
    const qsizetype completed = tail.indexOf("AppCommThread completed.");
    EXPECT_GT(completed, tail.indexOf("AppCommThreadFunc(): Thread Exit."));
    EXPECT_GT(tail.indexOf("AppCommThreadFunc(): Thread Exit."),
              tail.indexOf("AppCommThreadFunc(): TermEvent signaled."));
    tail.removeIf([](const QString& line) { return line.startsWith("AppCommThreadFunc()"); });
    EXPECT_EQ(tail, (QStringList{"ServiceStopEvent singaled.", "Wait until AppCommThread works...",
                                 "AppCommThread completed.", "Ostrovid Service 2.2.0 stopped."}));
    EXPECT_EQ(log.first(), "Starting...");
    QFile raw(ServiceLogPath());
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE"));
    EXPECT_TRUE(bytes.endsWith(QByteArray("d\0.\0\r\0\n\0\r\0\n\0", 12)));
    QFile out(dir.filePath("svc.out"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), "Press Ctrl+Break to EXIT...\n");

    EXPECT_TRUE(LoadStore()->KeyExists(QStringLiteral("SOFTWARE\\Vektra\\Ostrovid")));
    // The area's name goes with the service, so a program started now waits for the next one.
    EXPECT_NE(::access(platform::IpcObjectPath(settings::channel::kMapFileName).c_str(), F_OK), 0);
}

}  // namespace
