#include "app/actions/velox_process.h"

#include "platform/syserror.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>
#include <thread>
#include <utility>

extern char** environ;

namespace actions {

namespace {

// Owns the spawn settings for the length of one posix_spawn call.
struct SpawnSettings {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSettings() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;
};

void ReapLater(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child stays a zombie until the program ends.
    }
}

}  // namespace

RunnerProcess::~RunnerProcess() {
    if (pidFd_ >= 0) ::close(pidFd_);
    if (pid_ > 0) ReapLater(pid_);
}

int RunnerProcess::Start(const QString& program, const QString& argument, const QString& folder) {
    SpawnSettings settings;
    // A new process group, as a separate console would give: the runner's own children are its
    // business, and a signal to the program's group does not reach it.
    posix_spawnattr_setpgroup(&settings.attributes, 0);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&settings.attributes, &signalSet);
    sigfillset(&signalSet);
    posix_spawnattr_setsigdefault(&settings.attributes, &signalSet);
    posix_spawnattr_setflags(&settings.attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    for (int stream = 0; stream < 3; ++stream)
        posix_spawn_file_actions_addopen(&settings.actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&settings.actions, 3);
    const QByteArray folderPath = folder.toLocal8Bit();
    posix_spawn_file_actions_addchdir_np(&settings.actions, folderPath.constData());

    const QByteArray path = program.toLocal8Bit();
    QByteArray arg = argument.toLocal8Bit();
    char* argv[] = {const_cast<char*>(path.constData()), arg.data(), nullptr};
    pid_t pid = -1;
    if (const int error = posix_spawn(&pid, path.constData(), &settings.actions, &settings.attributes, argv, environ);
        error != 0)
        return platform::ErrorCodeFromErrno(error);
    pid_ = pid;
    // The child is not reaped before Wait, so its descriptor can always be had.
    pidFd_ = int(::syscall(SYS_pidfd_open, pid, 0));
    return platform::kErrorSuccess;
}

RunnerProcess::WaitResult RunnerProcess::Wait(platform::Event& termEvent,
                                              std::optional<std::chrono::milliseconds> limit) {
    if (pidFd_ < 0) return WaitResult::Failed;
    platform::ReadableFd exited(pidFd_);
    // A limit beyond what one wait takes is waited for in parts.
    constexpr std::chrono::milliseconds kLongestWait(std::numeric_limits<int>::max());
    auto remaining = limit.value_or(std::chrono::milliseconds(0));
    int which = platform::kWaitTimeout;
    do {
        const auto part = std::min(remaining, kLongestWait);
        remaining -= part;
        which = platform::WaitForAny({&exited, &termEvent}, limit ? int(part.count()) : platform::kInfinite);
    } while (which == platform::kWaitTimeout && remaining.count() > 0);
    switch (which) {
    case 0: {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WaitResult::Exited;
    }
    case 1:
        return WaitResult::Terminated;
    case platform::kWaitTimeout:
        return WaitResult::TimedOut;
    default:
        return WaitResult::Failed;
    }
}

}  // namespace actions
