#include "app/actions/action_workers.h"

#include "platform/log.h"

#include <system_error>

namespace actions {

namespace {

struct Handover {
    std::unique_ptr<ActionItem> item;
    WorkerContext context;
};

void RunWorker(const QString& name, Handover& handover, const WorkerWork& work) {
    std::unique_ptr<ActionItem> item = std::move(handover.item);
    WorkerContext context = std::move(handover.context);
    std::exchange(context.started, nullptr)->Set();
    const uint32_t number = item->number;
    WriteLog(QStringLiteral("%1 %2 started.").arg(name).arg(number));
    work(*item, *context.termEvent);
    FreeActionItem(std::move(item));
    WriteLog(QStringLiteral("%1 %2 completed.").arg(name).arg(number));
    context.slot.Release();
}

}  // namespace

WorkerSlot& WorkerSlot::operator=(WorkerSlot&& other) noexcept {
    if (this != &other) {
        Release();
        semaphore_ = std::exchange(other.semaphore_, nullptr);
    }
    return *this;
}

void WorkerSlot::Release() {
    if (semaphore_) std::exchange(semaphore_, nullptr)->Release();
}

bool StartWorkerThread(const QString& threadFuncName, std::unique_ptr<ActionItem>& item, WorkerContext& context,
                       WorkerWork work) {
    // Shared with the thread, so that a thread that cannot be made leaves both with the caller.
    auto handover = std::make_shared<Handover>(Handover{std::move(item), std::move(context)});
    try {
        platform::StartNamedThread(threadFuncName.toStdString(), [handover, name = threadFuncName,
                                                                  work = std::move(work)] {
            RunWorker(name, *handover, work);
        }).detach();
        return true;
    } catch (const std::system_error&) {
        item = std::move(handover->item);
        context = std::move(handover->context);
        return false;
    }
}

}  // namespace actions
