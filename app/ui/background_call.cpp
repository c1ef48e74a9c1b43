#include "app/ui/background_call.h"

#include "platform/contract.h"

namespace ui {

BackgroundCall::~BackgroundCall() {
    if (thread_) thread_->wait();
}

void BackgroundCall::StartThread(QObject* context, std::function<void()> work, std::function<void()> done) {
    OSTROVID_ASSERT(!thread_, "one background call at a time");
    thread_.reset(QThread::create(std::move(work)));
    QObject::connect(thread_.get(), &QThread::finished, context, [this, done = std::move(done)] {
        thread_->wait();
        thread_.reset();
        done();
    });
    thread_->start();
}

}  // namespace ui
