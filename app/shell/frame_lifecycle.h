#pragma once
// What the main frame's creation and destruction ask of the program: starting the worker
// threads in their order and stopping them again, with the log lines of each step.

namespace shell {

class FrameLifecycle {
public:
    virtual ~FrameLifecycle() = default;
    // The service watchdog, the hang-up detector and the 16 prediction workers; false makes
    // the frame's creation fail.
    virtual bool StartServiceThreads() = 0;
    // The database check, the action queue and, when allowed, the management servers; false
    // makes the frame's creation fail.
    virtual bool StartDataThreads() = 0;
    // Sets the termination event every worker ends on; the frame then stops the camera silently.
    virtual void SignalTermination() = 0;
    // The termination event (if not set yet) and the waits for every thread started.
    virtual void StopThreads() = 0;
};

}  // namespace shell
