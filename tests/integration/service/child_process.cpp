#include "tests/integration/service/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace testsupport {

ChildProcess::~ChildProcess() {
    CloseInput();
    if (pid_ > 0 && Running()) {
        Signal(SIGKILL);
        Wait(5000);
    }
    if (out_ >= 0) close(out_);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, int uid, const std::string& outputFile,
                         const std::vector<gid_t>& groups) {
    int inPipe[2], outPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0) return false;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int outputFd =
        outputFile.empty() ? -1 : open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);

    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outputFd >= 0 ? outputFd : outPipe[1], STDOUT_FILENO);
        if (uid >= 0 && (setgroups(groups.size(), groups.data()) != 0 || setgid(static_cast<gid_t>(uid)) != 0 ||
                         setuid(static_cast<uid_t>(uid)) != 0))
            _exit(126);
        execve(args[0], args.data(), environ);
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    if (outputFd >= 0) close(outputFd);
    in_ = inPipe[1];
    out_ = outPipe[0];
    return pid_ > 0;
}

bool ChildProcess::ReadLine(std::string* line, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (const size_t end = buffered_.find('\n'); end != std::string::npos) {
            *line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char chunk[256];
        const ssize_t got = read(out_, chunk, sizeof chunk);
        if (got <= 0) return false;
        buffered_.append(chunk, static_cast<size_t>(got));
    }
}

void ChildProcess::CloseInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

bool ChildProcess::Signal(int signal) const { return pid_ > 0 && kill(pid_, signal) == 0; }

int ChildProcess::Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return status;
        }
        if (done < 0 || std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool ChildProcess::Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

StoppedProgram::~StoppedProgram() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool StoppedProgram::Start(const std::string& path, int handedDownFd) {
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        fcntl(handedDownFd, F_SETFD, 0);
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(126);
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    // A traced child stops with SIGTRAP once exec has replaced it.
    return pid_ > 0 && waitpid(pid_, &status, 0) == pid_ && WIFSTOPPED(status) && WSTOPSIG(status) == SIGTRAP;
}

}  // namespace testsupport
