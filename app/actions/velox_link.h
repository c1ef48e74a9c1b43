#pragma once
// Purpose: script actions: each runs in the runner program Velox, started from the program's
//          folder for one request handed over in a shared block, and its outcome goes to the
//          Actions tab and the diagnostic log.
// Threads: StartVeloxWorker and the workers' Start* on the action queue thread; the run on a
//          worker thread of its own.
// Owns: a started worker owns its item, block, runner handle and slot until it ends; a runner
//       still busy at the wait limit is left running.

#include "app/actions/action_workers.h"
#include "app/shell/journal.h"

#include <QString>

#include <memory>

namespace actions {

// "<program folder>/Velox".
QString DefaultVeloxRunnerPath();

// The body of a script worker: hands the item's request to the runner at `runnerPath`, waits for
// its reply or the program's end, and reports. The item stays with the caller.
void RunVeloxScript(const shell::Journal& journal, const ActionItem& item, platform::Event& termEvent,
                    const QString& runnerPath);

// Starts the worker thread "VeloxThreadFunc" for a script item (see StartWorkerThread).
bool StartVeloxWorker(const shell::Journal& journal, std::unique_ptr<ActionItem>& item, WorkerContext& context,
                      QString runnerPath = DefaultVeloxRunnerPath());

}  // namespace actions
