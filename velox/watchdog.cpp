#include "velox/watchdog.h"

#include <signal.h>

namespace velox {

void Watchdog::Arm(std::chrono::milliseconds limit, std::function<void()> onExpiry) {
    thread_ = std::thread([this, limit, onExpiry = std::move(onExpiry)] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, limit, [this] { return stop_; })) return;
        expired_ = true;
        lock.unlock();
        KillChildGroup();
        if (onExpiry) onExpiry();
    });
}

void Watchdog::Disarm() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void Watchdog::SetChildGroup(pid_t group) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        childGroup_ = group;
    }
    if (expired_) KillChildGroup();
}

void Watchdog::KillChildGroup() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (childGroup_ > 0) ::kill(-childGroup_, SIGKILL);
}

}  // namespace velox
