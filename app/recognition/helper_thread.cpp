#include "app/recognition/helper_thread.h"

#include "platform/contract.h"
#include "platform/sync.h"

#include <system_error>
#include <utility>

namespace recognition {

HelperThread::~HelperThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    offered_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void HelperThread::Share(const Work& work) {
    const bool alreadySharing = sharing_.exchange(true, std::memory_order_acquire);
    OSTROVID_ASSERT(!alreadySharing, "one Share at a time");
    bool offered = false;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable() && !cannotStart_) {
            try {
                thread_ = platform::StartNamedThread("DetectHelper", [this] { Run(); });
            } catch (const std::system_error&) {
                cannotStart_ = true;
            }
        }
        if (thread_.joinable()) {
            offer_ = &work;
            offered = true;
        }
    }
    if (offered) offered_.notify_one();

    std::exception_ptr error;
    try {
        work();
    } catch (...) {
        error = std::current_exception();
    }
    {
        // Withdraw an offer not yet taken; a helper that took it is waited for, since it reads
        // `work` and the buffers behind it.
        std::unique_lock lock(mutex_);
        offer_ = nullptr;
        left_.wait(lock, [this] { return !helping_; });
        if (!error) error = std::exchange(helperError_, nullptr);
        helperError_ = nullptr;
    }
    sharing_.store(false, std::memory_order_release);
    if (error) std::rethrow_exception(error);
}

void HelperThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        offered_.wait(lock, [this] { return stopping_ || offer_; });
        if (stopping_) return;
        const Work* work = std::exchange(offer_, nullptr);
        helping_ = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            (*work)();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        helperError_ = error;
        helping_ = false;
        left_.notify_all();
    }
}

}  // namespace recognition
