#pragma once
// Purpose: what the operator-driven sample and photo actions run with (the connection and the
//          operator's answers) and how such an action ended.
// Threads: the user-interface thread.
// Owns: nothing.

#include "app/database/operator_dialogs.h"
#include "app/database/sample_ops.h"

namespace database {

struct SampleFlowContext {
    DbOpTarget db;
    OperatorDialogs& dialogs;
};

enum class FlowResult {
    Done,          // the action changed the database (possibly only part of what was asked)
    Abandoned,     // nothing changed: declined, refused or failed with the operator told why
    LimitReached,  // nothing changed: the person is full (the command should not have been offered)
    CloseBrowser,  // an operation was cancelled after a failure: the browser closes
};

}  // namespace database
