#include "service/command_line.h"

#include "platform/operator_group.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "service/event_log.h"
#include "service/service_files.h"
#include "service/service_host.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace service {

namespace {

constexpr int kErrorServiceRequestTimeout = 1053;
constexpr int kErrorServiceDoesNotExist = 1060;
constexpr int kErrorServiceExists = 1073;
constexpr int kErrorFailedServiceControllerConnect = 1063;

QString SystemText(int code) { return platform::FormatSystemError(code, 256); }

void Print(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString Display() { return QLatin1String(kDisplayName); }

QString UnitName() { return QLatin1String(kServiceName) + QStringLiteral(".service"); }

struct ProgramRun {
    bool started = false;
    int exitCode = -1;
    QByteArray output;
};

constexpr std::chrono::seconds kNoLimit{0};

// Runs the program (looked up in PATH) with the arguments and collects its standard output. With
// a limit, a program that has not ended by then is killed and counts as failed.
ProgramRun RunProgram(const char* program, std::initializer_list<const char*> arguments,
                      std::chrono::milliseconds limit = kNoLimit) {
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const char* argument : arguments) argv.push_back(const_cast<char*>(argument));
    argv.push_back(nullptr);

    ProgramRun run;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = -1;
    run.started = posix_spawnp(&pid, program, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool overdue = false;
    char chunk[512];
    for (;;) {
        if (limit != kNoLimit) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd readable{pipeFds[0], POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) == 0) {
                overdue = true;
                break;
            }
        }
        const ssize_t got = read(pipeFds[0], chunk, sizeof chunk);
        if (got == 0) break;
        if (got > 0)
            run.output.append(chunk, got);
        else if (errno != EINTR)
            break;
    }
    close(pipeFds[0]);
    if (!run.started) return run;
    if (overdue) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // A shell that cannot run the program exits with 127.
    run.exitCode = WIFEXITED(status) && !overdue ? WEXITSTATUS(status) : -1;
    run.started = run.exitCode != 127;
    return run;
}

// systemctl is $OSTROVID_SYSTEMCTL when set.
ProgramRun Systemctl(std::initializer_list<const char*> arguments, std::chrono::milliseconds limit = kNoLimit) {
    const char* program = std::getenv("OSTROVID_SYSTEMCTL");
    return RunProgram(program && *program ? program : "systemctl", arguments, limit);
}

// "active", "activating", "deactivating", "inactive", "failed", ...; empty when it cannot be asked.
QByteArray ActiveState() {
    const ProgramRun run = Systemctl({"is-active", qPrintable(UnitName())});
    return run.started ? run.output.trimmed() : QByteArray();
}

void WaitOneSecond() { std::this_thread::sleep_for(std::chrono::seconds(1)); }

int ErrorOfRun(const ProgramRun& run) {
    if (!run.started) return platform::kErrorFileNotFound;
    return run.exitCode == 0 ? platform::kErrorSuccess : kErrorServiceRequestTimeout;
}

// The unit folder stands for the service manager: it must be there and writable.
int OpenServiceManager() {
    if (::access(QFile::encodeName(UnitFolder()).constData(), W_OK) != 0) return platform::ErrorCodeFromErrno(errno);
    return platform::kErrorSuccess;
}

int CreateUnitFile() {
    const QByteArray path = QFile::encodeName(UnitFilePath());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST ? kErrorServiceExists : platform::ErrorCodeFromErrno(errno);
    const QByteArray text = UnitFileText(platform::ProgramFilePath());
    const bool written = ::write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size();
    const int error = written ? 0 : platform::ErrorCodeFromErrno(errno);
    ::close(fd);
    if (!written) ::unlink(path.constData());
    return error;
}

// ExecStart= quoting: one argument, quoted when it holds blanks or quotes; '%' is a specifier.
QByteArray ExecArgument(const QString& path) {
    QByteArray escaped;
    bool quote = path.isEmpty();
    for (const char c : path.toUtf8()) {
        if (c == '%')
            escaped.append("%%");
        else if (c == '\\' || c == '"')
            escaped.append('\\').append(c);
        else
            escaped.append(c);
        quote = quote || c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '\\';
    }
    return quote ? '"' + escaped + '"' : escaped;
}

// The group of the operators, made when missing, and the account that ran sudo in it.
bool PrepareOperatorGroup() {
    const QString group = QLatin1String(platform::kOperatorGroupName);
    if (!platform::OperatorGroupId()) {
        const ProgramRun run = RunProgram("groupadd", {"--system", platform::kOperatorGroupName});
        if (run.exitCode != 0 || !platform::OperatorGroupId()) {
            Print(QStringLiteral("Group %1 cannot be created - groupadd %2\n")
                      .arg(group, run.started ? QStringLiteral("exited with %1").arg(run.exitCode)
                                              : QStringLiteral("cannot be run")));
            return false;
        }
        Print(QStringLiteral("Group %1 created.\n").arg(group));
    }
    const char* user = std::getenv("SUDO_USER");
    if (!user || !*user || std::strcmp(user, "root") == 0) return true;
    const passwd* account = getpwnam(user);
    if (!account) {
        Print(QStringLiteral("User %1 (SUDO_USER) does not exist; nobody is added to group %2.\n")
                  .arg(QString::fromLocal8Bit(user), group));
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const gid_t primary = account->pw_gid;
    if (getgrouplist(user, primary, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        getgrouplist(user, primary, groups.data(), &count);
    }
    groups.resize(static_cast<size_t>(count));
    if (std::find(groups.begin(), groups.end(), *platform::OperatorGroupId()) != groups.end()) return true;
    const ProgramRun run = RunProgram("usermod", {"-a", "-G", platform::kOperatorGroupName, user});
    if (run.exitCode != 0) {
        Print(QStringLiteral("User %1 cannot be added to group %2 - usermod %3\n")
                  .arg(QString::fromLocal8Bit(user), group,
                       run.started ? QStringLiteral("exited with %1").arg(run.exitCode)
                                   : QStringLiteral("cannot be run")));
        return false;
    }
    Print(QStringLiteral("User %1 added to group %2 (from the next login on).\n")
              .arg(QString::fromLocal8Bit(user), group));
    return true;
}

// The unit makes the file system read-only but for these folders, which must therefore exist.
bool PrepareFolders() {
    const QString autostart = platform::AutostartFolder();
    if (!QDir().mkpath(autostart)) {
        Print(QStringLiteral("Folder %1 cannot be created.\n").arg(autostart));
        return false;
    }
    for (const platform::FolderReport& report :
         {platform::PrepareStoreFolder(), platform::PrepareProgramDataFolder(), PrepareLogFolder()}) {
        for (const QString& note : report.notes) Print(note + QLatin1Char('\n'));
        if (report.error != platform::kErrorSuccess) {
            Print(QStringLiteral("Folder %1 cannot be prepared - %2\n").arg(report.folder, SystemText(report.error)));
            return false;
        }
    }
    return true;
}

}  // namespace

Command ParseCommandLine(int argc, const char* const* argv) {
    if (argc < 2 || (argv[1][0] != '-' && argv[1][0] != '/')) return Command::Dispatch;
    const QString word = QString::fromLocal8Bit(argv[1] + 1);
    if (word.compare(u"install", Qt::CaseInsensitive) == 0) return Command::Install;
    if (word.compare(u"remove", Qt::CaseInsensitive) == 0) return Command::Remove;
    if (word.compare(u"debug", Qt::CaseInsensitive) == 0) return Command::Debug;
    return Command::Dispatch;
}

QByteArray UsageText() {
    const char* name = kServiceName;
    return QByteArray("\nUsage:\n") + QString::asprintf("\t%s -install\t\tto install the service\n", name).toUtf8() +
           QString::asprintf("\t%s -remove\t\tto remove the service\n", name).toUtf8() +
           "\nStartServiceCtrlDispatcher being called.\n" + "This may take several seconds. Please wait...\n";
}

QString UnitFolder() {
    const char* folder = std::getenv("OSTROVID_SYSTEMD_UNIT_DIR");
    return folder && *folder ? QString::fromLocal8Bit(folder) : QStringLiteral("/etc/systemd/system");
}

QString UnitFilePath() { return UnitFolder() + QLatin1Char('/') + UnitName(); }

QByteArray UnitFileText(const QString& programPath) {
    const QStringList writable = {QFileInfo(platform::RegistryFilePath()).absolutePath(), platform::ProgramDataFolder(),
                                  ServiceLogFolder(), platform::AutostartFolder(), QStringLiteral("/dev/shm")};
    QByteArray paths;
    for (const QString& path : writable) paths += (paths.isEmpty() ? "" : " ") + ExecArgument(path);
    // A program under a home folder (a developer's build) must stay visible to start at all, and
    // for the autostart check of the program beside it.
    const bool underHome = programPath.startsWith(QLatin1String("/home/")) ||
                           programPath.startsWith(QLatin1String("/root/")) ||
                           programPath.startsWith(QLatin1String("/run/user/"));
    return QByteArray("# ") + kDescription + "\n[Unit]\nDescription=" + kDisplayName +
           "\n\n[Service]\nType=notify\nNotifyAccess=main\nExecStart=" + ExecArgument(programPath) +
           "\nUser=root\n"
           // A crash (a signal, or an exit with a failure code) starts it again; the program waits for it.
           "Restart=on-failure\nRestartSec=2s\n"
           "NoNewPrivileges=yes\n"
           // Read-only everywhere but where it writes: the store, the data folder, its log, the
           // autostart entry and the channel objects.
           "ProtectSystem=strict\nReadWritePaths=" +
           paths +
           "\n"
           "ProtectHome=" +
           (underHome ? "read-only" : "yes") +
           "\nPrivateTmp=yes\n"
           "ProtectKernelTunables=yes\nProtectKernelModules=yes\nProtectControlGroups=yes\n"
           // CAP_NET_ADMIN: SOCK_DESTROY of a hung camera connection.
           // CAP_CHOWN: giving files, folders and channel objects to the group "ostrovid".
           // CAP_FOWNER: changing the mode of, or removing from /dev/shm (sticky), objects an operator made.
           // CAP_FSETID: keeping the set-group-id bit of the data and log folders, whose group root is not in.
           // CAP_DAC_OVERRIDE: opening the 0660 objects operators created (root is not in their group).
           // CAP_SYS_PTRACE: reading /proc/PID/fd and /proc/PID/exe of the operator's program.
           // As root the service gets these without AmbientCapabilities=.
           "CapabilityBoundingSet=CAP_NET_ADMIN CAP_CHOWN CAP_FOWNER CAP_FSETID CAP_DAC_OVERRIDE CAP_SYS_PTRACE\n"
           "\n[Install]\nWantedBy=multi-user.target\n";
}

bool SystemIsShuttingDown() {
    // The manager answers "stopping" once shutdown has begun; a manager that does not answer in
    // time is taken for a plain stop.
    const ProgramRun run = Systemctl({"is-system-running"}, std::chrono::seconds(5));
    return run.started && run.output.trimmed() == "stopping";
}

InstallOutcome InstallService() {
    if (!PrepareOperatorGroup() || !PrepareFolders()) return InstallOutcome::SetupFailed;
    if (const int rc = OpenServiceManager(); rc != platform::kErrorSuccess) {
        Print(QStringLiteral("OpenSCManager failed - %1\n").arg(SystemText(rc)));
        return InstallOutcome::Done;
    }
    if (const int rc = CreateUnitFile(); rc != platform::kErrorSuccess) {
        Print(QStringLiteral("CreateService failed - %1\n").arg(SystemText(rc)));
        return InstallOutcome::Done;
    }
    Print(QStringLiteral("%1 installed.\n").arg(Display()));
    // The manager has to read the new unit before it can enable and start it.
    Systemctl({"daemon-reload"});
    if (const int rc = ErrorOfRun(Systemctl({"enable", "--now", qPrintable(UnitName())}));
        rc != platform::kErrorSuccess) {
        Print(QStringLiteral("Start service failed - %1\n").arg(SystemText(rc)));
        return InstallOutcome::Done;
    }
    while (ActiveState() == "activating") WaitOneSecond();
    Print(QStringLiteral("%1 started.\n").arg(Display()));
    return InstallOutcome::Done;
}

void RemoveService() {
    if (OpenServiceManager() != platform::kErrorSuccess) return;
    if (!QFile::exists(UnitFilePath())) {
        Print(QStringLiteral("OpenService failed - %1\n").arg(SystemText(kErrorServiceDoesNotExist)));
        return;
    }
    // Stopping a service that does not run fails, and nothing is said about it.
    const QByteArray state = ActiveState();
    if (state == "active" || state == "activating" || state == "reloading") {
        if (ErrorOfRun(Systemctl({"stop", qPrintable(UnitName())})) == platform::kErrorSuccess) {
            Print(QStringLiteral("Stopping %1.").arg(Display()));
            QByteArray now = ActiveState();
            while (now == "deactivating") {
                WaitOneSecond();
                now = ActiveState();
            }
            Print((now == "inactive" || now == "failed" ? QStringLiteral("\n%1 stopped.\n")
                                                        : QStringLiteral("\n%1 failed to stop.\n"))
                      .arg(Display()));
        }
    }
    Systemctl({"disable", qPrintable(UnitName())});
    if (::unlink(QFile::encodeName(UnitFilePath()).constData()) != 0) {
        Print(QStringLiteral("DeleteService failed - %1\n").arg(SystemText(platform::ErrorCodeFromErrno(errno))));
        return;
    }
    Systemctl({"daemon-reload"});
    Print(QStringLiteral("%1 removed.\n").arg(Display()));
}

void RunServiceDispatcher() {
    // systemd hands every service it starts an invocation id (and a notify socket for Type=notify).
    if (std::getenv("NOTIFY_SOCKET") || std::getenv("INVOCATION_ID")) {
        ServiceMain(false);
        return;
    }
    WriteEventLogEntry(kEventDispatcherFailed, EventType::Error, SystemText(kErrorFailedServiceControllerConnect));
}

}  // namespace service
