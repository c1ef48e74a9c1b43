#include "app/database/db_access.h"

#include "platform/log.h"
#include "platform/oledate.h"
#include "platform/sync.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/socket.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

namespace database {

namespace {

std::atomic<unsigned> g_connectionCounter{0};

// The libpq options of every PostgreSQL connection. Keep-alives find a server whose host or
// network went away while a statement waits; the statement time-out ends one the server cannot
// finish. A server that is alive but silent is the client's to give up on (kUnansweredLimit).
QString PostgresConnectOptions() {
    return QStringLiteral(
               "connect_timeout=10;keepalives=1;keepalives_idle=30;keepalives_interval=10;"
               "keepalives_count=3;options='-c statement_timeout=%1'")
        .arg(std::chrono::milliseconds(kStatementTimeout).count());
}

// The driver's description: the server's message when it sent one, on one line.
QString ErrorText(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) text = error.driverText().trimmed();
    if (text.isEmpty()) text = QStringLiteral("Unspecified error");
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

QVariant BoundValue(const DbParameter& parameter) {
    switch (parameter.kind) {
    case ParamKind::Null:
        return QVariant();
    case ParamKind::Text: {
        // An empty text is stored as the empty string, never as NULL.
        QString text = parameter.value.toString();
        return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
    }
    case ParamKind::Binary: {
        QByteArray bytes = parameter.value.toByteArray();
        return bytes.isNull() ? QVariant(QByteArray("", 0)) : QVariant(bytes);
    }
    default:
        return parameter.value;
    }
}

// The "?" markers of a statement, outside quoted literals and identifiers.
size_t CountMarkers(const QString& text) {
    size_t markers = 0;
    QChar quote;
    for (QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            ++markers;
        }
    }
    return markers;
}

}  // namespace

// One statement or connection step handed to the connection's thread.
struct DbExecution {
    QString connectionName;  // of the worker's driver connection, empty while closed
    const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::mutex mutex;
    std::condition_variable finishedCondition;
    std::atomic<bool> finished{false};
    // A waiter gave up on it; later waits fail at once.
    std::atomic<bool> abandoned{false};
    // Set with finished, so that waiters can wake at once instead of at their next poll.
    platform::Event finishedEvent{true, false};
    bool failed = false;
    QString error;
    DbRecordset recordset;
    int rowsAffected = -1;

    void Complete() {
        {
            std::lock_guard lock(mutex);
            finished.store(true, std::memory_order_release);
        }
        finishedEvent.Set();
        finishedCondition.notify_all();
    }
    // True when it finished within the time.
    bool WaitFinishedFor(std::chrono::milliseconds time) {
        std::unique_lock lock(mutex);
        return finishedCondition.wait_for(lock, time, [this] { return finished.load(std::memory_order_acquire); });
    }

    void RunStatement(const QString& text, const std::vector<DbParameter>& parameters) {
        const QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        // Parameters stay attached when a command is reused for the next statement; each
        // statement takes as many as it has markers.
        const size_t markers = CountMarkers(text);
        if (markers > parameters.size()) {
            throw DbError(QStringLiteral("No value given for one or more required parameters."));
        }
        bool ok;
        if (markers == 0) {
            // Statements without markers run unprepared: PostgreSQL cannot prepare DDL.
            ok = query.exec(text);
        } else {
            if (!query.prepare(text)) throw DbError(ErrorText(query.lastError()));
            for (size_t i = 0; i < markers; ++i) query.addBindValue(BoundValue(parameters[i]));
            ok = query.exec();
        }
        if (!ok) throw DbError(ErrorText(query.lastError()));
        if (query.isSelect()) {
            const QSqlRecord record = query.record();
            const int columns = record.count();
            for (int i = 0; i < columns; ++i) recordset.columns_.append(record.fieldName(i));
            while (query.next()) {
                std::vector<QVariant> row;
                row.reserve(static_cast<size_t>(columns));
                for (int i = 0; i < columns; ++i) row.push_back(query.value(i));
                recordset.rows_.push_back(std::move(row));
            }
            if (query.lastError().isValid()) throw DbError(ErrorText(query.lastError()));
        }
        rowsAffected = query.numRowsAffected();
    }
};

const QVariant& DbRecordset::FieldAt(size_t row, const QString& name) const {
    if (row >= rows_.size()) {
        throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    }
    return rows_[row][ColumnIndex(name)];
}

size_t DbRecordset::ColumnIndex(const QString& name) const {
    qsizetype index = 0;
    while (index < columns_.size() && columns_[index].compare(name, Qt::CaseInsensitive) != 0) ++index;
    if (index == columns_.size()) throw DbError(QStringLiteral("Item cannot be found in the collection: ") + name);
    return static_cast<size_t>(index);
}

const QVariant& DbRecordset::Value(size_t column) const {
    if (Eof()) throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    if (column >= rows_[position_].size()) throw DbError(QStringLiteral("Item cannot be found in the collection."));
    return rows_[position_][column];
}

struct DbConnection::Worker {
    std::mutex queueMutex;
    std::condition_variable queueCondition;
    std::deque<std::pair<std::shared_ptr<DbExecution>, std::function<void(DbExecution&)>>> queue;
    bool stopping = false;  // under queueMutex
    bool running = false;   // a task runs (under queueMutex)
    bool ended = false;     // Run returned (under queueMutex)

    // Touched only on the worker thread.
    QString name;
    bool added = false;

    std::atomic<bool> open{false};
    std::mutex interruptMutex;
    // The PostgreSQL connection's socket, -1 without one; it is forgotten before it is closed, so
    // that Interrupt never reaches a descriptor that was reused meanwhile.
    int pgSocket = -1;
    sqlite3* sqlite = nullptr;

    bool Busy() {
        std::lock_guard lock(queueMutex);
        return running || !queue.empty();
    }

    bool WaitEnded(std::chrono::milliseconds time) {
        std::unique_lock lock(queueMutex);
        return queueCondition.wait_for(lock, time, [this] { return ended; });
    }

    void Run() {
        for (;;) {
            std::pair<std::shared_ptr<DbExecution>, std::function<void(DbExecution&)>> task;
            {
                std::unique_lock lock(queueMutex);
                running = false;
                queueCondition.wait(lock, [this] { return stopping || !queue.empty(); });
                if (queue.empty()) break;
                task = std::move(queue.front());
                queue.pop_front();
                running = true;
            }
            DbExecution& execution = *task.first;
            if (added) execution.connectionName = name;
            try {
                task.second(execution);
            } catch (const DbError& error) {
                execution.failed = true;
                execution.error = error.Description();
            } catch (const std::bad_alloc&) {
                execution.failed = true;
                execution.error = QStringLiteral("Out of memory");
            }
            // The statement's captured values go before the waiter is released.
            task.second = nullptr;
            task.first->Complete();
        }
        Disconnect();
        {
            std::lock_guard lock(queueMutex);
            ended = true;
        }
        queueCondition.notify_all();
    }

    void Disconnect() {
        {
            std::lock_guard lock(interruptMutex);
            pgSocket = -1;
            sqlite = nullptr;
        }
        open.store(false);
        if (added) {
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
            added = false;
        }
    }

    void Connect(const ConnectionParams& params, bool createFile) {
        Disconnect();
        name = QStringLiteral("ostrovid-db-%1").arg(g_connectionCounter.fetch_add(1));
        added = true;
        QSqlDatabase db;
        if (params.provider == DbProvider::SQLite) {
            const QString file = params.sqliteFile();
            if (file.isEmpty()) throw DbError(QStringLiteral("unable to open database file: no file given"));
            if (!createFile && !QFileInfo(file).isFile()) {
                throw DbError(QStringLiteral("unable to open database file: ") + file);
            }
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
            url.setQuery(createFile ? QStringLiteral("mode=rwc") : QStringLiteral("mode=rw"));
            db.setDatabaseName(url.toString(QUrl::FullyEncoded));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(params.host());
            if (params.port() != 0) db.setPort(params.port());
            db.setUserName(params.userId);
            db.setPassword(params.password);
            db.setDatabaseName(params.initialCatalog.isEmpty() ? QStringLiteral("postgres") : params.initialCatalog);
            db.setConnectOptions(PostgresConnectOptions());
        }
        if (!db.isValid()) throw DbError(ErrorText(db.lastError()));
        if (!db.open()) throw DbError(ErrorText(db.lastError()));
        const QVariant handle = db.driver()->handle();
        {
            std::lock_guard lock(interruptMutex);
            const char* type = handle.typeName();
            if (qstrcmp(type, "PGconn*") == 0 || qstrcmp(type, "pg_conn*") == 0) {
                pgSocket = PQsocket(*static_cast<PGconn* const*>(handle.constData()));
            } else if (qstrcmp(type, "sqlite3*") == 0) {
                sqlite = *static_cast<sqlite3* const*>(handle.constData());
            }
        }
        if (params.provider == DbProvider::SQLite) {
            QSqlQuery pragma(db);
            if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON"))) throw DbError(ErrorText(pragma.lastError()));
        }
        open.store(true);
    }

    void Interrupt() {
        std::lock_guard lock(interruptMutex);
        // Shutting the socket down wakes the driver's blocked read at once, whatever the server
        // does; the server sees the connection end and rolls the statement back.
        if (pgSocket >= 0) shutdown(pgSocket, SHUT_RDWR);
        if (sqlite != nullptr) sqlite3_interrupt(sqlite);
    }
};

DbConnection::DbConnection() : worker_(std::make_shared<Worker>()) {
    // Without an application object (the tools, the tests) Qt takes the first thread that uses it
    // for the main thread. The creating thread registers first: were it this worker, which loads
    // the first SQL driver and then ends, Qt's record of the real main thread would never be freed.
    QThread::currentThread();
    thread_ = platform::StartNamedThread("DbConnection", [worker = worker_] { worker->Run(); });
}

DbConnection::~DbConnection() {
    if (worker_->Busy()) Interrupt();
    {
        std::lock_guard lock(worker_->queueMutex);
        worker_->stopping = true;
    }
    worker_->queueCondition.notify_all();
    if (worker_->WaitEnded(kCloseWait)) {
        thread_.join();
        return;
    }
    // Still inside the driver (a connection attempt runs to its own time-out): the thread keeps
    // its share of the worker and ends by itself.
    WriteLog(QStringLiteral("DbConnection: the database server did not answer within %1 s; the connection is left "
                            "to end by itself.")
                 .arg(std::chrono::seconds(kCloseWait).count()));
    thread_.detach();
}

std::shared_ptr<DbExecution> DbConnection::Submit(std::function<void(DbExecution&)> work) {
    auto execution = std::make_shared<DbExecution>();
    {
        std::lock_guard lock(worker_->queueMutex);
        worker_->queue.emplace_back(execution, std::move(work));
    }
    worker_->queueCondition.notify_one();
    return execution;
}

void DbConnection::Open(const QString& connectionString, bool createFile) {
    const auto params = ParseConnectionString(connectionString);
    if (!params) throw DbError(QStringLiteral("Неверный формат строки соединения"));
    provider_ = params->provider;
    Worker* worker = worker_.get();
    const ConnectionParams copy = *params;
    auto execution = Submit([worker, copy, createFile](DbExecution&) { worker->Connect(copy, createFile); });
    const bool answered = Await(*execution, nullptr);
    if (!answered || execution->failed) {
        Close();
        throw DbError(answered ? execution->error : kServerSilentText);
    }
}

void DbConnection::Close() noexcept {
    try {
        // A statement still running (one given up on, or left behind by its command) would keep
        // the disconnection waiting behind it.
        if (worker_->Busy()) Interrupt();
        Worker* worker = worker_.get();
        if (!Submit([worker](DbExecution&) { worker->Disconnect(); })->WaitFinishedFor(kCloseWait)) {
            WriteLog(QStringLiteral("DbConnection::Close(): the database server did not answer within %1 s.")
                         .arg(std::chrono::seconds(kCloseWait).count()));
        }
    } catch (...) {
        // Closing never reports anything.
    }
}

bool DbConnection::Await(DbExecution& execution, const std::function<void()>* pump) {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> interruptedAt;
    while (!execution.finished.load(std::memory_order_acquire)) {
        if (execution.abandoned.load()) return false;
        const Clock::time_point now = Clock::now();
        if (!interruptedAt &&
            (now - execution.started >= kUnansweredLimit || (abandonEvent_ != nullptr && abandonEvent_->Wait(0)))) {
            Interrupt();
            interruptedAt = now;
        }
        if (interruptedAt && now - *interruptedAt >= kCloseWait) {
            execution.abandoned.store(true);
            return false;
        }
        if (execution.WaitFinishedFor(kExecutePoll)) break;
        if (pump != nullptr) (*pump)();
    }
    return true;
}

bool DbConnection::IsOpen() const { return worker_->open.load(); }

void DbConnection::Interrupt() { worker_->Interrupt(); }

void DbConnection::RunText(const QString& text) {
    DbCommand command(*this);
    command.SetCommandText(text);
    command.Execute(kExecChange);
}

void DbConnection::BeginTrans() {
    if (provider_ == DbProvider::SQLite) {
        // SQLite transactions are serializable; taking the write lock at once keeps what was
        // read valid until the commit, as repeatable read asks.
        RunText(isolationLevel_ >= adXactRepeatableRead ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        return;
    }
    const char* level = "READ COMMITTED";
    if (isolationLevel_ >= adXactSerializable) {
        level = "SERIALIZABLE";
    } else if (isolationLevel_ >= adXactRepeatableRead) {
        level = "REPEATABLE READ";
    } else if (isolationLevel_ < adXactReadCommitted) {
        level = "READ UNCOMMITTED";
    }
    RunText(QStringLiteral("BEGIN ISOLATION LEVEL ") + QLatin1String(level));
}

void DbConnection::SetWaitPump(std::function<void()> pump) {
    waitPump_ = std::move(pump);
    waitPumpThread_ = std::this_thread::get_id();
}

void DbConnection::CommitTrans() { RunText(QStringLiteral("COMMIT")); }
void DbConnection::RollbackTrans() { RunText(QStringLiteral("ROLLBACK")); }

DbCommand::~DbCommand() {
    // A statement still running is left to finish on the connection's thread; it holds its own
    // share of the execution record.
}

void DbCommand::AppendInteger(const QString& name, int32_t value) {
    parameters_.push_back({name, ParamKind::Integer, QVariant(value)});
}

void DbCommand::AppendText(const QString& name, const QString& value) {
    parameters_.push_back({name, ParamKind::Text, QVariant(value)});
}

void DbCommand::AppendNull(const QString& name) { parameters_.push_back({name, ParamKind::Null, QVariant()}); }

void DbCommand::AppendOptionalText(const QString& name, const QString& value) {
    if (value.isEmpty()) {
        AppendNull(name);
    } else {
        AppendText(name, value);
    }
}

void DbCommand::AppendDate(const QString& name, double oleDate) {
    parameters_.push_back({name, ParamKind::Date, QVariant(OleDateToDbText(oleDate))});
}

void DbCommand::AppendBinary(const QString& name, const QByteArray& bytes) {
    parameters_.push_back({name, ParamKind::Binary, QVariant(bytes)});
}

void DbCommand::DeleteParameter(const QString& name) {
    std::erase_if(parameters_, [&](const DbParameter& p) { return p.name.compare(name, Qt::CaseInsensitive) == 0; });
}

void DbCommand::Execute(int options) {
    if (!connection_.IsOpen()) throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    if (connection_.probe_) connection_.probe_(text_);
    const QString text = text_;
    const std::vector<DbParameter> parameters = parameters_;
    execution_ = connection_.Submit([text, parameters](DbExecution& e) { e.RunStatement(text, parameters); });
    if ((options & adAsyncExecute) == 0) Finished();
}

bool DbCommand::IsExecuting() const { return execution_ && !execution_->finished.load(std::memory_order_acquire); }

bool DbCommand::Unanswered() const {
    return IsExecuting() && std::chrono::steady_clock::now() - execution_->started >= kUnansweredLimit;
}

void DbCommand::WaitSleeping() const {
    if (!execution_) return;
    const bool pumping = connection_.waitPump_ && connection_.waitPumpThread_ == std::this_thread::get_id();
    connection_.Await(*execution_, pumping ? &connection_.waitPump_ : nullptr);
}

platform::Waitable* DbCommand::Completion() const { return execution_ ? &execution_->finishedEvent : nullptr; }

DbExecution& DbCommand::Finished() {
    if (!execution_) throw DbError(QStringLiteral("Operation is not allowed in this context."));
    if (!connection_.Await(*execution_, nullptr)) throw DbError(kServerSilentText);
    if (execution_->failed) throw DbError(execution_->error);
    return *execution_;
}

DbRecordset& DbCommand::Recordset() { return Finished().recordset; }
int DbCommand::RowsAffected() { return Finished().rowsAffected; }

int32_t ReadInteger(const QVariant& value) {
    if (!value.isNull()) {
        bool ok = false;
        const qlonglong number = value.toLongLong(&ok);
        if (ok && number >= std::numeric_limits<int32_t>::min() && number <= std::numeric_limits<int32_t>::max()) {
            return static_cast<int32_t>(number);
        }
    }
    throw DbError(QStringLiteral("Type mismatch."));
}

QString ReadText(const QVariant& value) {
    if (value.isNull() || value.typeId() != QMetaType::QString) return {};
    return value.toString();
}

namespace {

double OleFromDateTime(const QDate& date, const QTime& time) {
    platform::LocalTime local;
    local.year = date.year();
    local.month = date.month();
    local.day = date.day();
    local.hour = time.hour();
    local.minute = time.minute();
    local.second = time.second();
    local.milliseconds = time.msec();
    return platform::ToOleDate(local);
}

}  // namespace

double ReadDate(const QVariant& value) {
    if (value.isNull()) return 0;
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? OleFromDateTime(dt.date(), dt.time()) : 0;
    }
    case QMetaType::QDate:
        return value.toDate().isValid() ? OleFromDateTime(value.toDate(), QTime(0, 0)) : 0;
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::QString: {
        // SQLite keeps the date as the text it was given: "yyyy-MM-dd[ T]hh:mm:ss[.zzz]", read
        // without any time-zone conversion.
        const QString text = value.toString().trimmed();
        const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        if (!date.isValid()) return 0;
        QTime time(0, 0);
        if (text.size() > 11) {
            time = QTime::fromString(text.mid(11), Qt::ISODateWithMs);
            if (!time.isValid()) return 0;
        }
        return OleFromDateTime(date, time);
    }
    default:
        return 0;
    }
}

bool ReadBinary(const QVariant& value, QByteArray* bytes) {
    if (value.isNull() || value.typeId() != QMetaType::QByteArray) return false;
    *bytes = value.toByteArray();
    return true;
}

QString OleDateToDbText(double oleDate) {
    const platform::LocalTime t = platform::SplitOleDate(oleDate);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                             t.milliseconds);
}

}  // namespace database
