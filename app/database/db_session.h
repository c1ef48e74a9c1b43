#pragma once
// Purpose: what a browser or dialog operation runs with (its connection, the operator's boxes and
//          the string to reopen with), the retry loop of its callers, and the execution steps the
//          operations share.
// Threads: the user-interface thread (the thread that runs the operation).
// Owns: nothing; the connection and the boxes belong to the window that opened them.

#include "app/database/db_access.h"
#include "app/database/db_operation.h"
#include "app/database/operator_dialogs.h"

#include <QString>

namespace database {

struct DbSession {
    DbConnection& connection;  // BrowserConnection, or a dialog's own connection
    DbUserInterface& ui;       // wait cursor, Retry/Cancel and error boxes
    OperatorDialogs& dialogs;  // questions and notices captioned with the program title
    QString connectionString;  // what Retry reopens the connection with
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
// A change of one row by id that changed none: the row was deleted meanwhile (by another station),
// which is reported as a failure with that text rather than taken for success.
void RequireChangedRow(int changedRows, const QString& missingText);

// The failure texts of such changes.
inline const QString kPersonMissingText =
    QStringLiteral("Персона не найдена в базе данных: возможно, она удалена с другой станции.");
inline const QString kRowMissingText =
    QStringLiteral("Запись не найдена в базе данных: возможно, она удалена с другой станции.");

}  // namespace database
