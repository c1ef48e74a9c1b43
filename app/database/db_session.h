#pragma once
// Purpose: what a browser or dialog operation runs with (its connection, the operator's boxes,
//          the string to reopen with and the journal), how an operator's action ended, the retry
//          loop of its callers, and the execution steps the operations share.
// Threads: the user-interface thread (the thread that runs the operation).
// Owns: nothing; the connection and the boxes belong to the window that opened them.

#include "app/database/db_access.h"
#include "app/database/db_operation.h"
#include "app/database/operator_dialogs.h"
#include "app/shell/journal.h"

#include <QString>

namespace database {

struct DbSession {
    DbConnection& connection;  // BrowserConnection, or a dialog's own connection
    DbUserInterface& ui;       // wait cursor, Retry/Cancel and error boxes
    OperatorDialogs& dialogs;  // questions and notices captioned with the program title
    QString connectionString;  // what Retry reopens the connection with
    const shell::Journal& journal;
};

// How an operator's action on persons, samples or photos ended.
enum class FlowResult {
    Done,          // the action changed the database (possibly only part of what was asked)
    Abandoned,     // nothing changed: declined, refused or failed with the operator told why
    LimitReached,  // nothing changed: the person is full (the command should not have been offered)
    CloseBrowser,  // an operation was cancelled after a failure: the browser closes
};

// Calls operation() again for as long as it returns DbOpRetry; its last result.
template <typename Operation>
DbOpResult RetryWhileAsked(Operation&& operation) {
    DbOpResult result;
    do {
        result = operation();
    } while (result == DbOpRetry);
    return result;
}

// Runs a changing statement with adAsyncExecute, awaits it by polling and returns the rows it
// changed (its error thrown).
int ExecuteChangeAwaited(DbCommand& command);
// Runs a query with adAsyncExecute, awaits it by polling and returns its rows (its error thrown).
DbRecordset& ExecuteQueryAwaited(DbCommand& command);
// The same with the statement text set first.
int ExecuteChangeAwaited(DbCommand& command, const QString& text);
DbRecordset& ExecuteQueryAwaited(DbCommand& command, const QString& text);
// A change of persons, samples or photos in the journal's database tab (icon kind 0, the
// database state left alone); false when the entry was dropped.
bool PostChangeJournal(const DbSession& session, const QString& event, const QString& description);
// A change of one row by id that changed none: the row was deleted meanwhile (by another station),
// which is reported as a failure with that text rather than taken for success.
void RequireChangedRow(int changedRows, const QString& missingText);

// The failure texts of such changes.
inline const QString kPersonMissingText =
    QStringLiteral("Персона не найдена в базе данных: возможно, она удалена с другой станции.");
inline const QString kRowMissingText =
    QStringLiteral("Запись не найдена в базе данных: возможно, она удалена с другой станции.");

}  // namespace database
