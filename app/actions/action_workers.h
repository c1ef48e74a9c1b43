#pragma once
// Purpose: the worker threads that run script and mail actions: the place each takes among the
//          queue's worker slots, how the queue thread starts them, and the frame every worker
//          runs in (signal the start, do the work, free the item, give the slot back).
// Threads: Start* on the action queue thread; the work on the worker's own thread.
// Owns: a started worker owns its item and its slot until it ends.

#include "app/actions/action_item.h"
#include "app/shell/journal.h"
#include "platform/sync.h"

#include <QString>

#include <functional>
#include <memory>
#include <utility>

namespace actions {

// One count of the queue's worker semaphore, given back when released or destroyed.
class WorkerSlot {
public:
    WorkerSlot() = default;
    // Takes over a count the caller has already acquired.
    explicit WorkerSlot(platform::Semaphore& semaphore) : semaphore_(&semaphore) {}
    WorkerSlot(WorkerSlot&& other) noexcept : semaphore_(std::exchange(other.semaphore_, nullptr)) {}
    WorkerSlot& operator=(WorkerSlot&& other) noexcept;
    ~WorkerSlot() { Release(); }

    void Release();

private:
    platform::Semaphore* semaphore_ = nullptr;
};

// What a worker gets with its item.
struct WorkerContext {
    platform::Event* termEvent = nullptr;  // the program is ending: stop waiting
    platform::Event* started = nullptr;    // signalled by the worker first thing; not touched after
    WorkerSlot slot;
};

// Starts the worker threads of script (types 2 and 4) and mail (3 and 5) items. True: the thread
// runs and owns item and context. False: no thread could be made; item and context are left to
// the caller unchanged.
class ActionWorkers {
public:
    virtual ~ActionWorkers() = default;
    virtual bool StartScriptWorker(std::unique_ptr<ActionItem>& item, WorkerContext& context) = 0;
    virtual bool StartMailWorker(std::unique_ptr<ActionItem>& item, WorkerContext& context) = 0;
};

// A worker's own work, on its thread, between the start signal and the end.
using WorkerWork = std::function<void(ActionItem& item, platform::Event& termEvent)>;

// Starts a thread named `threadFuncName` that signals the start, logs "<name> N started.", does
// the work, frees the item, logs "<name> N completed." and gives the slot back last, so that
// waiting for every slot also waits for every item's files to be gone.
bool StartWorkerThread(const QString& threadFuncName, std::unique_ptr<ActionItem>& item, WorkerContext& context,
                       WorkerWork work);

}  // namespace actions
