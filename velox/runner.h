#pragma once
// Purpose: one start of the runner: the request read from the block of the GUID, the script run
//          by its type under the operator's time-out, and the reply written back.
// Threads: the runner's main thread.
// Owns: nothing beyond the run.

#include "velox/script_event.h"
#include "velox/script_host.h"
#include "velox/script_outcome.h"

#include <QString>

#include <functional>
#include <optional>

namespace velox {

// Runs the script of a decoded request. `showMessage` is the user interface a script may use when
// the request allows one; empty when there is none.
ScriptOutcome RunScript(const ScriptEvent& event, decltype(HostServices::showMessage) showMessage);

// Checks a script's syntax without running it; type as in the request (0 executable, 1 JScript).
ScriptOutcome CheckScript(const QString& file, uint32_t type);

}  // namespace velox
