#pragma once
// Purpose: a second thread that helps one caller at a time with work the caller splits into
//   items itself (an atomic counter, say). Share(work) runs `work` on the calling thread and,
//   when the helper wakes in time, on the helper beside it; it returns when both runs have
//   returned. A helper that wakes after the caller's run has ended does nothing,
//   so the caller never waits for a sleeping thread, only for the item the helper is working on.
// Threads: Share from any thread, one call at a time (the owner serializes the calls; checked in
//   debug and sanitizer builds).
// Owns: the helper thread "DetectHelper", started by the first Share and joined by the destructor.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace recognition {

class HelperThread {
public:
    using Work = std::function<void()>;

    HelperThread() = default;
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // An exception of either run comes out of Share after both runs have ended. Without a helper
    // (the thread cannot be started) the caller's run does all the work.
    void Share(const Work& work);

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable offered_;
    std::condition_variable left_;
    const Work* offer_ = nullptr;  // the work of the current Share until the helper takes it
    bool helping_ = false;
    bool stopping_ = false;
    std::exception_ptr helperError_;
    bool cannotStart_ = false;
    std::atomic<bool> sharing_{false};
    std::thread thread_;
};

}  // namespace recognition
