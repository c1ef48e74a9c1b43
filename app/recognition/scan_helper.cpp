#include "app/recognition/scan_helper.h"

#include "platform/contract.h"

namespace recognition {

ScanHelper::ScanHelper() : thread_([this] { Run(); }) {}

ScanHelper::~ScanHelper() {
    OSTROVID_ASSERT(std::this_thread::get_id() != thread_.get_id(), "the helper does not end itself");
    {
        std::lock_guard lock(mutex_);
        OSTROVID_ASSERT(work_ == nullptr, "nobody shares a scan while the helper ends");
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ScanHelper::Share(Work work, void* context) {
    uint64_t ticket = 0;
    {
        std::lock_guard lock(mutex_);
        if (work_ == nullptr && !stopping_) {
            work_ = work;
            context_ = context;
            taken_ = false;
            ticket = ++posted_;
        }
    }
    if (ticket != 0) wake_.notify_one();
    work(context);
    if (ticket == 0) return;

    std::unique_lock lock(mutex_);
    if (!taken_ && done_ < ticket) {
        // The helper never started on it: nothing to wait for.
        work_ = nullptr;
        done_ = ticket;
        return;
    }
    finished_.wait(lock, [&] { return done_ >= ticket; });
}

void ScanHelper::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || (work_ != nullptr && !taken_); });
        if (stopping_) return;
        taken_ = true;
        const Work work = work_;
        void* const context = context_;
        const uint64_t ticket = posted_;
        lock.unlock();
        work(context);
        lock.lock();
        work_ = nullptr;
        taken_ = false;
        done_ = ticket;
        finished_.notify_all();
    }
}

}  // namespace recognition
