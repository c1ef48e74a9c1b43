#include "service/command_line.h"

#include "platform/paths.h"
#include "platform/syserror.h"
#include "service/event_log.h"
#include "service/service_host.h"

#include <QFile>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// Runs systemctl with the arguments and collects its standard output.
ProgramRun Systemctl(std::initializer_list<const char*> arguments) {
    const char* program = std::getenv("OSTROVID_SYSTEMCTL");
    if (!program || !*program) program = "systemctl";
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
    char chunk[512];
    ssize_t got;
    while ((got = read(pipeFds[0], chunk, sizeof chunk)) != 0) {
        if (got > 0) run.output.append(chunk, got);
        else if (errno != EINTR) break;
    }
    close(pipeFds[0]);
    if (!run.started) return run;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // A shell that cannot run the program exits with 127.
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.started = run.exitCode != 127;
    return run;
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
        if (c == '%') escaped.append("%%");
        else if (c == '\\' || c == '"') escaped.append('\\').append(c);
        else escaped.append(c);
        quote = quote || c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '\\';
    }
    return quote ? '"' + escaped + '"' : escaped;
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
    return QByteArray("# ") + kDescription + "\n[Unit]\nDescription=" + kDisplayName +
           "\n\n[Service]\nType=notify\nNotifyAccess=main\nExecStart=" + ExecArgument(programPath) +
           "\nUser=root\n\n[Install]\nWantedBy=multi-user.target\n";
}

void InstallService() {
    if (const int rc = OpenServiceManager(); rc != platform::kErrorSuccess) {
        Print(QStringLiteral("OpenSCManager failed - %1\n").arg(SystemText(rc)));
        return;
    }
    if (const int rc = CreateUnitFile(); rc != platform::kErrorSuccess) {
        Print(QStringLiteral("CreateService failed - %1\n").arg(SystemText(rc)));
        return;
    }
    Print(QStringLiteral("%1 installed.\n").arg(Display()));
    // The manager has to read the new unit before it can enable and start it.
    Systemctl({"daemon-reload"});
    if (const int rc = ErrorOfRun(Systemctl({"enable", "--now", qPrintable(UnitName())})); rc != platform::kErrorSuccess) {
        Print(QStringLiteral("Start service failed - %1\n").arg(SystemText(rc)));
        return;
    }
    while (ActiveState() == "activating") WaitOneSecond();
    Print(QStringLiteral("%1 started.\n").arg(Display()));
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
