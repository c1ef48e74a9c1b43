#pragma once
// Purpose: scripts of type 1: JavaScript run in Qt's engine with the request as the global
//          `Event` and the host object `Velox`; stopped when the watchdog fires.
// Threads: the runner's main thread.
// Owns: the engine of one run.

#include "velox/script_event.h"
#include "velox/script_host.h"
#include "velox/script_outcome.h"

namespace velox {

// Runs the file. The reply text is the script's completion value when it has one.
ScriptOutcome RunJScript(const ScriptEvent& event, HostServices services);

// Compiles the file without running it: a syntax error comes back with its line.
ScriptOutcome CheckJScript(const QString& file);

}  // namespace velox
