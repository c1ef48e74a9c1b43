#pragma once
// Child processes of the integration tests: started with pipes on stdin and stdout, optionally
// under another user, read line by line with a time limit.

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] with the test's environment. With uid >= 0 the child switches to that user
    // (and its group), with only the supplementary groups given, before it runs the program.
    // stdout goes to outputFile when given, else to a pipe that ReadLine reads.
    bool Start(const std::vector<std::string>& argv, int uid = -1, const std::string& outputFile = {},
               const std::vector<gid_t>& groups = {});

    // The next line of the child's stdout within timeoutMs; false on timeout or end of output.
    bool ReadLine(std::string* line, int timeoutMs);
    // Closes the child's stdin, which the peer helper takes as the sign to end.
    void CloseInput();
    bool Signal(int signal) const;
    // Waits up to timeoutMs for the child to end; its wait status, or -1 when it still runs.
    int Wait(int timeoutMs);
    bool Running();
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffered_;
};

// A program started and held stopped before its first instruction (under ptrace), with one of
// the test's descriptors handed down to it: /proc/<pid>/exe is that program and the descriptor is
// among the process's own, while none of the program's code runs. Killed when it goes.
class StoppedProgram {
public:
    StoppedProgram() = default;
    ~StoppedProgram();
    StoppedProgram(const StoppedProgram&) = delete;
    StoppedProgram& operator=(const StoppedProgram&) = delete;

    bool Start(const std::string& path, int handedDownFd);
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

}  // namespace testsupport
