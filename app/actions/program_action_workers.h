#pragma once
// Purpose: the program's script and mail workers: scripts run in the runner Velox, mails go out
//          over SMTP.
// Threads: the action queue thread starts them; each runs on its own thread.
// Owns: nothing; a started worker owns its item and its slot.

#include "app/actions/action_workers.h"
#include "app/actions/mail_worker.h"
#include "app/actions/velox_link.h"

namespace actions {

class ProgramActionWorkers final : public ActionWorkers {
public:
    explicit ProgramActionWorkers(const shell::Journal& journal) : journal_(journal) {}
    bool StartScriptWorker(std::unique_ptr<ActionItem>& item, WorkerContext& context) override {
        return StartVeloxWorker(journal_, item, context);
    }
    bool StartMailWorker(std::unique_ptr<ActionItem>& item, WorkerContext& context) override {
        return actions::StartMailWorker(journal_, item, context);
    }

private:
    const shell::Journal& journal_;
};

}  // namespace actions
