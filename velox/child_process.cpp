#include "velox/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <vector>

extern char** environ;

namespace velox {

namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    bool Open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    static void Close(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    ~Pipe() {
        Close(read);
        Close(write);
    }
};

void Drain(int& fd, QByteArray& head, qsizetype limit) {
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (head.size() < limit) head.append(buffer, std::min<qsizetype>(n, limit - head.size()));
            continue;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN)) Pipe::Close(fd);
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

}  // namespace

ChildResult RunChild(const ChildCommand& command, Watchdog& watchdog) {
    ChildResult result;
    Pipe input;
    Pipe errors;
    if (!input.Open() || !errors.Open()) {
        result.startError = errno;
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, input.read, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors.write, 2);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    sigfillset(&signalSet);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<QByteArray> argumentBytes{command.program.toLocal8Bit()};
    for (const QString& argument : command.arguments) argumentBytes.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : argumentBytes) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environmentBytes;
    for (const QString& entry : command.environment) environmentBytes.push_back(entry.toLocal8Bit());
    std::vector<char*> envp;
    for (char** entry = environ; *entry; ++entry) envp.push_back(*entry);
    for (QByteArray& entry : environmentBytes) envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        result.startError = error;
        return result;
    }
    watchdog.SetChildGroup(pid);
    Pipe::Close(input.read);
    Pipe::Close(errors.write);
    ::fcntl(input.write, F_SETFL, O_NONBLOCK);
    ::fcntl(errors.read, F_SETFL, O_NONBLOCK);
    int exited = int(::syscall(SYS_pidfd_open, pid, 0));

    qsizetype written = 0;
    if (command.input.isEmpty()) Pipe::Close(input.write);
    while (exited >= 0) {
        std::array<pollfd, 3> fds{{{exited, POLLIN, 0}, {errors.read, POLLIN, 0}, {input.write, POLLOUT, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) Drain(errors.read, result.errorHead, command.errorHeadBytes);
        if (fds[2].revents) {
            const ssize_t n =
                ::write(input.write, command.input.constData() + written, size_t(command.input.size() - written));
            if (n > 0) written += n;
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == command.input.size())
                Pipe::Close(input.write);
        }
        if (fds[0].revents) break;
    }
    // Children the program left behind may hold the pipe open: take what is there and go.
    if (errors.read >= 0) Drain(errors.read, result.errorHead, command.errorHeadBytes);
    if (exited >= 0) ::close(exited);
    watchdog.SetChildGroup(0);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

}  // namespace velox
