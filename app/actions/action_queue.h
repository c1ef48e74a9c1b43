#pragma once
// Purpose: the bounded queue of actions and its thread: CSV lines are written on the thread,
//          scripts and mails go to worker threads, at most 64 at a time; an item that finds no
//          free worker stays queued while later items go ahead.
// Threads: EnqueueActionItem on the user-interface thread (it only ever waits for a short
//          critical section); the queue thread takes each item out under the lock and does the
//          slow work (pictures, the CSV file, starting a worker) outside it. StartThread,
//          WaitForThread and ClearActionQueue on the thread that owns the queue.
// Owns: the queued items, the queue thread and the wake-up event; the worker semaphore belongs
//       to the running thread. The journal, the workers and the recognition log are the caller's.

#include "app/actions/action_item.h"
#include "app/actions/action_workers.h"
#include "app/actions/csv_log.h"
#include "app/shell/journal.h"
#include "platform/sync.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

namespace actions {

class ActionQueue {
public:
    static constexpr size_t kMaxItems = 256;
    static constexpr unsigned kWorkerSlots = 64;
    static constexpr std::chrono::milliseconds kPollPeriod{100};

    // The CSV lines go to csvLog; it, the journal and the workers must outlive the queue.
    ActionQueue(const shell::Journal& journal, ActionWorkers& workers, RecognitionLog& csvLog);
    // The thread must have ended; items still queued are freed with their files.
    ~ActionQueue();
    ActionQueue(const ActionQueue&) = delete;
    ActionQueue& operator=(const ActionQueue&) = delete;

    // hNewActionItemInQueueEvent could be made.
    bool IsValid() const { return newItem_.IsValid(); }

    // Accepts the item while fewer than 256 are queued. A dropped item is freed here, its
    // temporary files with it ("Warning! Превышена максимальная длина очереди действий. Действие
    // отброшено." or "Недостаточно памяти в системе" in the log).
    bool EnqueueActionItem(std::unique_ptr<ActionItem> item);

    // Starts ActionQueueThreadFunc, which runs until termEvent is set; false when no thread could
    // be made. termEvent must outlive the thread.
    bool StartThread(platform::Event& termEvent);
    bool ThreadRunning() const { return thread_.joinable(); }
    // After termEvent was set: waits until the thread (which waits for its workers) has ended.
    void WaitForThread();

    // Frees every item still queued; only once the thread has ended.
    void ClearActionQueue();

    size_t QueuedCount() const;

private:
    void ActionQueueThreadFunc(platform::Event& termEvent);
    // One walk over the queue from the front.
    void Walk(platform::Event& termEvent, platform::Semaphore& workerSlots);
    // Does what the item needs now; false when it has to wait for a free worker and stays queued.
    bool Handle(std::unique_ptr<ActionItem>& item, platform::Event& termEvent, platform::Semaphore& workerSlots);
    bool StartWorker(std::unique_ptr<ActionItem>& item, platform::Event& termEvent, platform::Semaphore& workerSlots);

    const shell::Journal& journal_;
    ActionWorkers& workers_;
    RecognitionLog& csvLog_;
    platform::Event newItem_{false, false};  // hNewActionItemInQueueEvent
    mutable platform::CriticalSection lock_;
    // In arrival order. The entry of the item the thread is working on stays in place, empty,
    // so the count keeps holding it and the positions of the others do not move.
    std::vector<std::unique_ptr<ActionItem>> items_;
    std::thread thread_;
};

}  // namespace actions
