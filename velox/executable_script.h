#pragma once
// Purpose: scripts of type 0: the file runs as a program (a "#!" script or a binary) with the
//          request in OSTROVID_* environment variables and as one JSON document on standard input;
//          its exit code and the head of its standard error make the reply.
// Threads: the runner's main thread.
// Owns: nothing beyond the run.

#include "velox/script_event.h"
#include "velox/script_outcome.h"
#include "velox/watchdog.h"

#include <optional>

namespace velox {

// Characters of standard error that go into the reply.
constexpr qsizetype kErrorTextChars = 4000;

ScriptOutcome RunExecutableScript(const ScriptEvent& event, Watchdog& watchdog);

// Whether the file can be run: a regular, executable file; a shell script is also parsed (sh -n).
ScriptOutcome CheckExecutableScript(const QString& file);

// Nothing when the file is a regular file (executable when asked), else the reason.
std::optional<ScriptOutcome> ScriptFileProblem(const QString& file, bool executable);

}  // namespace velox
