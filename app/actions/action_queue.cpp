#include "app/actions/action_queue.h"

#include "app/actions/action_images.h"
#include "app/actions/csv_action.h"
#include "platform/contract.h"
#include "platform/log.h"

#include <new>
#include <system_error>

namespace actions {

ActionQueue::ActionQueue(const shell::Journal& journal, ActionWorkers& workers, RecognitionLog& csvLog)
    : journal_(journal), workers_(workers), csvLog_(csvLog) {}

ActionQueue::~ActionQueue() { OSTROVID_ASSERT(!thread_.joinable(), "the action queue thread has ended"); }

bool ActionQueue::EnqueueActionItem(std::unique_ptr<ActionItem> item) {
    bool full = false;
    {
        platform::CriticalSectionLock lock(lock_);
        full = items_.size() >= kMaxItems;
        if (!full) {
            try {
                items_.push_back(std::move(item));
                newItem_.Set();
                return true;
            } catch (const std::bad_alloc&) {
                // push_back left the item with us
            }
        }
    }
    // Logged and freed outside the lock: deleting files is no work for a critical section.
    WriteLog(full ? QStringLiteral("Warning! Превышена максимальная длина очереди действий. Действие отброшено.")
                  : QStringLiteral("Недостаточно памяти в системе"));
    FreeActionItem(std::move(item));
    return false;
}

bool ActionQueue::StartThread(platform::Event& termEvent) {
    OSTROVID_ASSERT(!thread_.joinable(), "one action queue thread at a time");
    try {
        thread_ = platform::StartNamedThread("ActionQueueThreadFunc",
                                             [this, &termEvent] { ActionQueueThreadFunc(termEvent); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void ActionQueue::WaitForThread() {
    if (thread_.joinable()) thread_.join();
}

void ActionQueue::ClearActionQueue() {
    OSTROVID_ASSERT(!thread_.joinable(), "the action queue thread has ended");
    std::vector<std::unique_ptr<ActionItem>> cleared;
    {
        platform::CriticalSectionLock lock(lock_);
        cleared.swap(items_);
    }
}

size_t ActionQueue::QueuedCount() const {
    platform::CriticalSectionLock lock(lock_);
    return items_.size();
}

void ActionQueue::ActionQueueThreadFunc(platform::Event& termEvent) {
    WriteLog(QStringLiteral("ActionQueueThreadFunc started."));
    platform::Semaphore workerSlots(kWorkerSlots);
    while (platform::WaitForAny({&termEvent, &newItem_}, kPollPeriod) != 0) Walk(termEvent, workerSlots);
    WriteLog(QStringLiteral("ActionQueueThreadFunc: hTermEvent signaled."));
    WriteLog(QStringLiteral("ActionQueueThreadFunc: Ожидание завершения нитей выполнения действий."));
    for (unsigned i = 0; i < kWorkerSlots; ++i) workerSlots.Wait(platform::kInfinite);
    WriteLog(QStringLiteral("ActionQueueThreadFunc completed."));
}

void ActionQueue::Walk(platform::Event& termEvent, platform::Semaphore& workerSlots) {
    for (size_t index = 0;;) {
        std::unique_ptr<ActionItem> item;
        {
            platform::CriticalSectionLock lock(lock_);
            if (index >= items_.size()) return;
            item = std::move(items_[index]);
        }
        const bool done = Handle(item, termEvent, workerSlots);
        // Only appends happen meanwhile, so the item's place is still `index`.
        platform::CriticalSectionLock lock(lock_);
        if (done) {
            items_.erase(items_.begin() + std::ptrdiff_t(index));
        } else {
            items_[index] = std::move(item);
            ++index;
        }
    }
}

bool ActionQueue::Handle(std::unique_ptr<ActionItem>& item, platform::Event& termEvent,
                         platform::Semaphore& workerSlots) {
    WritePendingImages(*item);
    if (item->type == ActionType::CsvLine) {
        RunCsvAction(journal_, csvLog_, item->number, std::get<CsvRecord>(item->payload));
        FreeActionItem(std::move(item));
        return true;
    }
    return StartWorker(item, termEvent, workerSlots);
}

bool ActionQueue::StartWorker(std::unique_ptr<ActionItem>& item, platform::Event& termEvent,
                              platform::Semaphore& workerSlots) {
    if (!workerSlots.TryAcquire()) return false;
    WorkerSlot slot(workerSlots);
    platform::Event started(false, false);
    if (!started.IsValid()) return false;
    WorkerContext context{&termEvent, &started, std::move(slot)};
    const bool running = IsScriptAction(item->type) ? workers_.StartScriptWorker(item, context)
                                                    : workers_.StartMailWorker(item, context);
    // A worker that could not start gives its slot back with the context; the item waits for a
    // later pass.
    if (!running) return false;
    started.Wait(platform::kInfinite);
    return true;
}

}  // namespace actions
