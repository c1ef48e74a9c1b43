#include "app/ui/pumped_call.h"

#include <QEventLoop>
#include <QThread>

#include <memory>

namespace ui {

void RunHandlingEvents(const std::function<void()>& work) {
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create(work));
    // Queued to this thread: a call that ends before the loop runs still ends the loop.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // A quit of the application ends the loop early; the call uses the caller's objects.
    thread->wait();
}

}  // namespace ui
