#include "app/database/db_operation.h"

#include "platform/log.h"

namespace database {

void DbTransaction::Begin() {
    savedLevel_ = connection_.IsolationLevel();
    connection_.SetIsolationLevel(adXactRepeatableRead);
    connection_.BeginTrans();
    active_ = true;
}

void DbTransaction::Commit() {
    connection_.CommitTrans();
    active_ = false;
    connection_.SetIsolationLevel(savedLevel_);
}

void DbTransaction::RollbackAfterFailure() noexcept {
    if (!active_) return;
    active_ = false;
    try {
        connection_.RollbackTrans();
    } catch (...) {
        // The connection may be gone; nothing is left to undo then.
    }
    connection_.SetIsolationLevel(adXactReadCommitted);
}

bool ReopenDbConnection(DbUserInterface& ui, DbConnection& connection, const QString& connectionString) {
    WaitCursorScope cursor(ui);
    connection.Close();
    try {
        connection.Open(connectionString);
    } catch (const DbError& error) {
        cursor.Restore();
        ui.ShowError(kCaptionConnection, error.Description());
        return false;
    }
    return true;
}

void LogDbException(const char* operation, const QString& description) {
    WriteLog(QString::asprintf("%s() Exception: %s", operation, qUtf8Printable(description)));
}

DbOpResult HandleDbOperationError(const char* operation, const DbError& error, DbOpKind kind, DbUserInterface& ui,
                                  DbConnection& connection, DbTransaction* transaction,
                                  const QString& connectionString) {
    LogDbException(operation, error.Description());
    if (transaction != nullptr) transaction->RollbackAfterFailure();
    const QString& caption = kind == DbOpKind::Read ? kCaptionQueryError : kCaptionCommandError;
    if (!ui.AskRetry(caption, error.Description())) return DbOpCancel;
    return ReopenDbConnection(ui, connection, connectionString) ? DbOpRetry : DbOpCancel;
}

void HandleDbDialogError(const char* operation, const DbError& error, DbUserInterface& ui) {
    LogDbException(operation, error.Description());
    ui.ShowError(kCaptionQueryError, error.Description());
}

}  // namespace database
