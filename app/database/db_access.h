#pragma once
// The access layer under every database operation. Each operation builds its commands on a
// connection, binds its values to the "?" markers in marker order, runs them and reads the rows
// by column name; every failure of a call here is thrown as a DbError carrying the provider's
// description text, to be caught once by the operation's own handler.
//
// A connection runs its statements on a private thread that owns the driver connection, so a
// statement started with adAsyncExecute really runs while the caller polls IsExecuting() and can
// give up on it (Interrupt) when its termination or abandon event is set. No wait here is
// unbounded: a server that goes silent mid-statement makes the statement fail, and closing the
// connection never waits for such a server for more than kCloseWait.

#include "app/database/connection_string.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "platform/sync.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace database {

class DbError {
public:
    explicit DbError(QString description) : description_(std::move(description)) {}
    const QString& Description() const { return description_; }

private:
    QString description_;
};

// Execute options (ADO's CommandTypeEnum and ExecuteOptionEnum bits).
constexpr int adCmdText = 0x01;
constexpr int adAsyncExecute = 0x10;
constexpr int adExecuteNoRecords = 0x80;
constexpr int kExecChangeAsync = adCmdText | adAsyncExecute | adExecuteNoRecords;  // 0x91
constexpr int kExecChange = adCmdText | adExecuteNoRecords;                        // 0x81
constexpr int kExecSelectAsync = adCmdText | adAsyncExecute;                       // 0x11
constexpr int kExecSync = adCmdText;                                               // 0x01

// Isolation levels (ADO's IsolationLevelEnum).
constexpr int32_t adXactReadUncommitted = 0x100;
constexpr int32_t adXactReadCommitted = 0x1000;
constexpr int32_t adXactRepeatableRead = 0x10000;
constexpr int32_t adXactSerializable = 0x100000;

// How often an asynchronous statement is polled.
constexpr std::chrono::milliseconds kExecutePoll{50};

// The server's own bound of one statement (PostgreSQL statement_timeout).
constexpr std::chrono::seconds kStatementTimeout{60};
// A statement still unanswered this long after it was started is taken for one on a silent
// server (stopped, or cut off without the connection being closed): the connection is dropped
// and the statement fails.
constexpr std::chrono::seconds kUnansweredLimit = kStatementTimeout + std::chrono::seconds(15);
// How long closing a connection, or a wait that gave up on its statement, waits for the
// connection's thread before leaving it to finish by itself.
constexpr std::chrono::seconds kCloseWait{5};

// The failure of a statement or connection step that was given up on.
inline const QString kServerSilentText = QStringLiteral("Сервер базы данных не отвечает");

enum class ParamKind { Integer, Text, Null, Date, Binary };

struct DbParameter {
    QString name;
    ParamKind kind = ParamKind::Integer;
    QVariant value;
};

// The rows a SELECT returned, read forward with a cursor.
class DbRecordset {
public:
    bool Eof() const { return position_ >= rows_.size(); }
    void MoveNext() { ++position_; }
    void Close() {
        rows_.clear();
        position_ = 0;
    }
    size_t RowCount() const { return rows_.size(); }
    // The current row (0-based).
    size_t Position() const { return position_; }
    // The current row's value of the column (case-insensitive name); throws when the column is
    // missing or the cursor is past the end.
    const QVariant& Field(const QString& name) const { return FieldAt(position_, name); }
    // The same for any row, without moving the cursor (a reader that looks ahead).
    const QVariant& FieldAt(size_t row, const QString& name) const;
    // The position of the column (case-insensitive name), for readers of many rows that look it
    // up once; throws when it is missing.
    size_t ColumnIndex(const QString& name) const;
    // The current row's value of the column at that position; throws past the end.
    const QVariant& Value(size_t column) const;

private:
    friend struct DbExecution;
    QStringList columns_;
    std::vector<std::vector<QVariant>> rows_;
    size_t position_ = 0;
};

struct DbExecution;

class DbConnection {
public:
    DbConnection();
    // Closes the connection and ends its thread; a thread still held by a silent server after
    // kCloseWait is left to end by itself (logged).
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Opens with the connection string (the credentials are in it). A SQLite file must exist
    // unless createFile is set.
    void Open(const QString& connectionString, bool createFile = false);
    // Never fails; a closed connection stays closed. A statement still running is interrupted,
    // and the wait for the disconnection ends after kCloseWait (logged).
    void Close() noexcept;
    bool IsOpen() const;
    DbProvider Provider() const { return provider_; }

    // The level the next BeginTrans uses.
    int32_t IsolationLevel() const { return isolationLevel_; }
    void SetIsolationLevel(int32_t level) { isolationLevel_ = level; }
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // Makes the statement running now fail at once; callable from any thread. On PostgreSQL the
    // connection is cut with it (a cancel request would wait on a silent server for ever), so it
    // must be opened again.
    void Interrupt();

    // While this manual-reset event is set, every wait on the connection gives up: the running
    // statement is interrupted and the waiting call fails (the check thread passes its
    // termination event). Set before the connection is used; null removes it.
    void SetAbandonEvent(platform::Event* event) { abandonEvent_ = event; }

    // Called with each statement's text on the calling thread before the statement is started;
    // a probe that throws DbError stands for that statement's failure (fault tests).
    void SetStatementProbe(std::function<void(const QString& statement)> probe) { probe_ = std::move(probe); }

    // Called between the polls of WaitSleeping, only on the thread that set it (a window's thread
    // lets its painting and timers go on during a slow statement); an empty function removes it.
    void SetWaitPump(std::function<void()> pump);

private:
    friend class DbCommand;
    struct Worker;
    // Runs work on the connection's thread; the execution completes when it returns.
    std::shared_ptr<DbExecution> Submit(std::function<void(DbExecution&)> work);
    // Waits until the execution has finished, running pump (when given) between polls. A set
    // abandon event or the unanswered limit interrupts it; kCloseWait after that the wait gives
    // up and returns false.
    bool Await(DbExecution& execution, const std::function<void()>* pump);
    void RunText(const QString& text);

    // Shared with the connection's thread, which a silent server may keep past the destructor.
    std::shared_ptr<Worker> worker_;
    std::thread thread_;
    platform::Event* abandonEvent_ = nullptr;
    std::function<void(const QString&)> probe_;
    std::function<void()> waitPump_;
    std::thread::id waitPumpThread_;
    DbProvider provider_ = DbProvider::SQLite;
    int32_t isolationLevel_ = adXactReadCommitted;
};

class DbCommand {
public:
    explicit DbCommand(DbConnection& connection) : connection_(connection) {}
    ~DbCommand();
    DbCommand(const DbCommand&) = delete;
    DbCommand& operator=(const DbCommand&) = delete;

    void SetCommandText(const QString& text) { text_ = text; }
    const QString& CommandText() const { return text_; }

    // The five parameter kinds.
    void AppendInteger(const QString& name, int32_t value);
    void AppendText(const QString& name, const QString& value);
    // Sent as NULL: an optional text column whose value is empty.
    void AppendNull(const QString& name);
    // A text parameter when the value is non-empty, a null one otherwise.
    void AppendOptionalText(const QString& name, const QString& value);
    // An OLE Automation date; stored as a date and time.
    void AppendDate(const QString& name, double oleDate);
    void AppendBinary(const QString& name, const QByteArray& bytes);
    // Removes the parameters of that name; the others keep their order.
    void DeleteParameter(const QString& name);
    const std::vector<DbParameter>& Parameters() const { return parameters_; }

    // Starts the statement. Without adAsyncExecute it returns when the statement has finished
    // (and throws its error); with it, at once.
    void Execute(int options);
    // The adStateExecuting bit of the command's state.
    bool IsExecuting() const;
    // The wait of the user-interface and dialog paths: polls every 50 ms until finished (and
    // returns as soon as it is), running the connection's wait pump between polls.
    void WaitSleeping() const;
    // Signalled when the last started statement has finished (null before the first Execute);
    // lets a waiter check its own abort events every 50 ms and still wake at once.
    platform::Waitable* Completion() const;
    // Asks the running statement to stop (the connection's Interrupt).
    void Cancel() { connection_.Interrupt(); }
    // The statement has run past kUnansweredLimit without an answer.
    bool Unanswered() const;

    // After the statement finished: its rows (empty for a change), or its error thrown.
    DbRecordset& Recordset();
    // After the statement finished: the rows it changed, or its error thrown.
    int RowsAffected();

private:
    DbExecution& Finished();

    DbConnection& connection_;
    QString text_;
    std::vector<DbParameter> parameters_;
    std::shared_ptr<DbExecution> execution_;
};

// The reading rules for column values.
// Integer: taken as is, or converted; a value that is no integer (NULL included) throws.
int32_t ReadInteger(const QVariant& value);
// Text: the text when the value is text; NULL and other kinds give an empty text.
QString ReadText(const QVariant& value);
// Date of birth: a date and time as an OLE Automation date, a number as is, anything else 0.
double ReadDate(const QVariant& value);
// Binary: false when the value is not binary data (the bytes are then left alone).
bool ReadBinary(const QVariant& value, QByteArray* bytes);

// The text stored for an OLE Automation date ("yyyy-MM-dd hh:mm:ss.zzz", local time).
QString OleDateToDbText(double oleDate);

}  // namespace database
