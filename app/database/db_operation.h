#pragma once
// The shared ending of every database operation: one handler per operation that logs
// "<Operation>() Exception: %s", rolls back a transaction it had begun, and lets the user
// choose between retrying (after reopening the connection) and cancelling.

#include "app/database/db_access.h"

#include <QString>

namespace database {

enum DbOpResult : int {
    DbOpDone = 0,    // continue
    DbOpRetry = 1,   // failed; the user chose Retry and the connection was reopened: call again
    DbOpCancel = 2,  // failed; cancelled, or the connection could not be reopened: abandon
};

enum class DbOpKind { Read, Change };

inline const QString kCaptionQueryError = QStringLiteral("Ошибка SQL запроса");
inline const QString kCaptionCommandError = QStringLiteral("Ошибка выполнения SQL команды");
inline const QString kCaptionConnection = QStringLiteral("Соединение с базой данных");

// What the operator sees of database operations. The user interface implements it with the
// wait cursor and message boxes; tests script the answers.
class DbUserInterface {
public:
    virtual ~DbUserInterface() = default;
    // The wait cursor, shown while an operation runs; calls nest.
    virtual void BeginWait() {}
    virtual void EndWait() {}
    // A Retry/Cancel question box (MB_RETRYCANCEL | MB_ICONQUESTION); true for Retry.
    virtual bool AskRetry(const QString& caption, const QString& description) = 0;
    // An error box (MB_ICONERROR).
    virtual void ShowError(const QString& caption, const QString& description) = 0;
};

// Shows the wait cursor for a scope.
class WaitCursorScope {
public:
    explicit WaitCursorScope(DbUserInterface& ui) : ui_(&ui) { ui_->BeginWait(); }
    ~WaitCursorScope() { Restore(); }
    void Restore() {
        if (ui_ != nullptr) ui_->EndWait();
        ui_ = nullptr;
    }
    WaitCursorScope(const WaitCursorScope&) = delete;
    WaitCursorScope& operator=(const WaitCursorScope&) = delete;

private:
    DbUserInterface* ui_;
};

// A repeatable-read transaction of an operation. Begin saves the connection's isolation level;
// Commit restores it; after a failure RollbackAfterFailure rolls back (its own failure is
// swallowed) and leaves the connection at read committed.
class DbTransaction {
public:
    explicit DbTransaction(DbConnection& connection) : connection_(connection) {}
    void Begin();
    void Commit();
    bool Active() const { return active_; }
    void RollbackAfterFailure() noexcept;

private:
    DbConnection& connection_;
    int32_t savedLevel_ = adXactReadCommitted;
    bool active_ = false;
};

// Closes the connection (errors swallowed) and opens it again with connectionString; on failure
// shows the description with caption "Соединение с базой данных" and returns false.
bool ReopenDbConnection(DbUserInterface& ui, DbConnection& connection, const QString& connectionString);

// Logs "<operation>() Exception: <description>".
void LogDbException(const char* operation, const QString& description);

// The handler of a retryable operation: logs, rolls back the transaction when one is active,
// asks Retry/Cancel with the caption of the operation's kind, and on Retry reopens the
// connection.
DbOpResult HandleDbOperationError(const char* operation, const DbError& error, DbOpKind kind, DbUserInterface& ui,
                                  DbConnection& connection, DbTransaction* transaction,
                                  const QString& connectionString);

// Runs body(DbTransaction&) as one retryable operation on connection: the wait cursor around
// it and every failure caught once by HandleDbOperationError.
template <typename Body>
DbOpResult RunDbOperation(const char* operation, DbOpKind kind, DbUserInterface& ui, DbConnection& connection,
                          const QString& connectionString, Body&& body) {
    DbTransaction transaction(connection);
    WaitCursorScope cursor(ui);
    try {
        try {
            body(transaction);
            return DbOpDone;
        } catch (const std::bad_alloc&) {
            throw DbError(QStringLiteral("Out of memory"));
        }
    } catch (const DbError& error) {
        cursor.Restore();
        return HandleDbOperationError(operation, error, kind, ui, connection, &transaction, connectionString);
    }
}

// The handler of a query that is not retried (information dialogs): logs and shows the
// description with caption "Ошибка SQL запроса".
void HandleDbDialogError(const char* operation, const DbError& error, DbUserInterface& ui);

}  // namespace database
