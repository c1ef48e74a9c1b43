#pragma once
// Purpose: one run of the script runner: started without a shell in its own process group with
//          one argument, waited for together with the program's end.
// Threads: the script worker that started it.
// Owns: the child until it is reaped; a child still running when the object goes is left running
//       and reaped by a small thread of its own when it ends.

#include "platform/sync.h"

#include <QString>

#include <sys/types.h>

#include <chrono>
#include <optional>

namespace actions {

class RunnerProcess {
public:
    RunnerProcess() = default;
    ~RunnerProcess();
    RunnerProcess(const RunnerProcess&) = delete;
    RunnerProcess& operator=(const RunnerProcess&) = delete;

    // Starts `program argument` in `folder`, standard streams on /dev/null, no descriptor
    // inherited. Returns a Windows error code (platform/syserror.h).
    int Start(const QString& program, const QString& argument, const QString& folder);

    enum class WaitResult { Exited, Terminated, TimedOut, Failed };
    // Waits for the child to exit or `termEvent`, whichever comes first, within the limit
    // (nothing: no limit).
    WaitResult Wait(platform::Event& termEvent, std::optional<std::chrono::milliseconds> limit);

private:
    pid_t pid_ = -1;
    int pidFd_ = -1;
};

}  // namespace actions
