#pragma once
// Purpose: the operator's time-out of one script run: when it passes, the run is stopped from a
//          thread of its own (the engine interrupted, the child's process group killed).
// Threads: Arm/Disarm/SetChild on the runner's main thread; the expiry on the watchdog's thread.
// Owns: its thread, joined on destruction.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace velox {

class Watchdog {
public:
    Watchdog() = default;
    ~Watchdog() { Disarm(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Starts counting; `onExpiry` runs on the watchdog's thread when the time passes first.
    void Arm(std::chrono::milliseconds limit, std::function<void()> onExpiry);
    void Disarm();
    bool Expired() const { return expired_.load(); }

    // The process group killed on expiry (0: none). A group set after expiry is killed at once.
    void SetChildGroup(pid_t group);

private:
    void KillChildGroup();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<bool> expired_{false};
    pid_t childGroup_ = 0;  // under mutex_
    std::thread thread_;
};

}  // namespace velox
