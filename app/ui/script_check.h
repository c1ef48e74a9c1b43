#pragma once
// Purpose: what the operator is told after "Velox --check" looked at a script file: the runner's
//          own words when it ran, its failure when it did not. Only an exit code of 0 counts as a
//          passed check; a runner that failed without a word is still a failure.
// Threads: any.
// Owns: nothing.

#include "app/ui/page_notice.h"

#include <QString>

namespace ui {

enum class ScriptCheckEnd { Exited, Crashed, NotStarted };

struct ScriptCheckRun {
    ScriptCheckEnd end = ScriptCheckEnd::Exited;
    int exitCode = 0;
    QString output;      // standard output
    QString errors;      // standard error
    QString startError;  // why the runner did not start
};

PageNotice ScriptCheckNotice(const ScriptCheckRun& run);

}  // namespace ui
