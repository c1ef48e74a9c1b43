#include "db_test_support.h"

#include "app/database/db_operation.h"
#include "app/database/db_schema.h"
#include "app/recognition/face_descriptor.h"
#include "platform/fixedtext.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

namespace dbtest {

using database::DbCommand;
using database::DbConnection;
using database::DbError;

namespace {

const QString kScript = QStringLiteral(OSTROVID_SOURCE_DIR "/scripts/test-services.d/postgres.sh");

bool HaveServerBinaries() {
    const QDir lib(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& version : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFile::exists(lib.filePath(version + QStringLiteral("/bin/initdb")))) return true;
    }
    return false;
}

bool RunScript(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("bash"), QStringList{kScript} + arguments);
    if (!process.waitForFinished(120000)) return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Reads OSTROVID_TEST_PG='...' from an env file the script wrote.
QString ServerStringFromEnvFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString prefix = QStringLiteral("OSTROVID_TEST_PG='");
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix) && line.endsWith(QLatin1Char('\''))) {
            return line.mid(prefix.size(), line.size() - prefix.size() - 1);
        }
    }
    return {};
}

// The private server of this process when ./test.sh did not start one.
PrivateServer* g_processServer = nullptr;

void StopProcessServer() {
    delete g_processServer;
    g_processServer = nullptr;
}

void SetTextValue(DbCommand& command, int index, const QVariant& value) {
    const QString name = QStringLiteral("P%1").arg(index);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        command.AppendInteger(name, value.toInt());
        break;
    case QMetaType::QByteArray:
        command.AppendBinary(name, value.toByteArray());
        break;
    case QMetaType::Double:
        command.AppendDate(name, value.toDouble());
        break;
    default:
        if (value.isNull()) {
            command.AppendNull(name);
        } else {
            command.AppendText(name, value.toString());
        }
    }
}

}  // namespace

PrivateServer::PrivateServer() {
    if (!HaveServerBinaries() || !dir_.isValid()) return;
    // The server runs as another user when the tests run as root; it must reach its folder.
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QString env = dir_.filePath(QStringLiteral("env"));
    if (RunScript({QStringLiteral("start-at"), dir_.filePath(QStringLiteral("pg")), env})) {
        serverString_ = ServerStringFromEnvFile(env);
    }
}

PrivateServer::~PrivateServer() {
    if (Ok()) RunScript({QStringLiteral("stop-at"), dir_.filePath(QStringLiteral("pg"))});
}

bool PrivateServer::Pause() { return RunScript({QStringLiteral("pause-at"), dir_.filePath(QStringLiteral("pg"))}); }
bool PrivateServer::Resume() { return RunScript({QStringLiteral("resume-at"), dir_.filePath(QStringLiteral("pg"))}); }
bool PrivateServer::Freeze() { return RunScript({QStringLiteral("freeze-at"), dir_.filePath(QStringLiteral("pg"))}); }
bool PrivateServer::Thaw() { return RunScript({QStringLiteral("thaw-at"), dir_.filePath(QStringLiteral("pg"))}); }

QString PostgresServerString() {
    static std::once_flag once;
    static QString server;
    std::call_once(once, [] {
        server = qEnvironmentVariable("OSTROVID_TEST_PG");
        if (!server.isEmpty() || !HaveServerBinaries()) return;
        g_processServer = new PrivateServer;
        server = g_processServer->ServerString();
        std::atexit(StopProcessServer);
    });
    return server;
}

QString PostgresUnavailableReason() {
    if (!PostgresServerString().isEmpty()) return {};
    if (!HaveServerBinaries()) return QStringLiteral("PostgreSQL server binaries are not installed; test skipped");
    return QStringLiteral("the PostgreSQL test server could not be started; test skipped");
}

TestDatabase::TestDatabase(DbProvider provider, const QString& serverString) : provider_(provider) {
    QString server;
    if (provider == DbProvider::SQLite) {
        dir_ = std::make_unique<QTemporaryDir>();
        server = QStringLiteral("Provider=SQLite;Data Source=") + dir_->path();
        name_ = QStringLiteral("Ostrovid");
    } else {
        serverString_ = serverString.isEmpty() ? PostgresServerString() : serverString;
        server = serverString_;
        name_ = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(20);
    }
    const auto result = database::CreateDatabase(server, name_);
    if (result.status != database::CreateDatabaseResult::Created) {
        throw DbError(QStringLiteral("test database not created: ") + result.error);
    }
    connectionString_ = result.connectionString;
}

TestDatabase::~TestDatabase() {
    if (provider_ != DbProvider::PostgreSQL) return;
    try {
        DbConnection connection;
        connection.Open(serverString_);
        Exec(connection, QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name_));
    } catch (const DbError&) {
        // A stopped server keeps its databases; its folder goes away with it.
    }
}

void Exec(DbConnection& connection, const QString& sql, const std::vector<QVariant>& values) {
    DbCommand command(connection);
    command.SetCommandText(sql);
    for (size_t i = 0; i < values.size(); ++i) SetTextValue(command, static_cast<int>(i), values[i]);
    command.Execute(database::kExecChange);
}

int QueryInt(DbConnection& connection, const QString& sql, const std::vector<QVariant>& values) {
    DbCommand command(connection);
    command.SetCommandText(sql);
    for (size_t i = 0; i < values.size(); ++i) SetTextValue(command, static_cast<int>(i), values[i]);
    command.Execute(database::kExecSelectAsync);
    command.WaitSleeping();
    database::DbRecordset& rows = command.Recordset();
    if (rows.Eof()) throw DbError(QStringLiteral("no row"));
    return database::ReadInteger(rows.Field(QStringLiteral("N")));
}

int AddPerson(DbConnection& connection, const QString& surname, int listNumber, int gender) {
    DbCommand command(connection);
    command.SetCommandText(
        QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, Gender) VALUES (0, ?, ?, ?)"));
    command.AppendInteger(QStringLiteral("LIST_NUM"), listNumber);
    command.AppendText(QStringLiteral("SURNAME"), surname);
    command.AppendInteger(QStringLiteral("Gender"), gender);
    command.Execute(database::kExecChange);
    // The same command object runs the identity query, as the person insert does.
    command.SetCommandText(database::StatementText(database::DbStatement::PersonIdentity, connection.Provider()));
    command.Execute(database::kExecSync);
    return database::ReadInteger(command.Recordset().Field(QStringLiteral("PERSONID")));
}

void AddSample(DbConnection& connection, int personId, const QByteArray& descriptor) {
    database::DbTransaction transaction(connection);
    transaction.Begin();
    try {
        Exec(connection, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, ?)"),
             {personId, QByteArray("img"), descriptor});
        Exec(connection, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {personId});
        transaction.Commit();
    } catch (const DbError&) {
        transaction.RollbackAfterFailure();
        throw;
    }
}

void DeleteSamples(DbConnection& connection, int personId) {
    Exec(connection, QStringLiteral("DELETE FROM SAMPLES WHERE PERSON_ID = ?"), {personId});
    Exec(connection, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {personId});
}

QByteArray DescriptorBytes(float seed) {
    recognition::FaceDescriptor descriptor;
    for (size_t i = 0; i < descriptor.values.size(); ++i) descriptor.values[i] = seed + static_cast<float>(i) / 1000.0f;
    return descriptor.ToStorage();
}

bool JournalRecorder::Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) {
    {
        std::lock_guard lock(mutex_);
        entries_.push_back({tab, entry->icon, entry->eventText, entry->description, entry->databaseState});
        if (tab == shell::JournalTab::Database && entry->databaseState != shell::DatabaseState::Unchanged) {
            databaseState_ = entry->databaseState;
        }
    }
    arrived_.notify_all();
    return true;
}

std::vector<JournalRecorder::Entry> JournalRecorder::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

int JournalRecorder::Count(const QString& event, const QString& description) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Entry& e : entries_) {
        if (e.event == event && (description.isNull() || e.description == description)) ++n;
    }
    return n;
}

bool JournalRecorder::WaitFor(const QString& event, int count, const QString& description,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] {
        int n = 0;
        for (const Entry& e : entries_) {
            if (e.event == event && (description.isNull() || e.description == description)) ++n;
        }
        return n >= count;
    });
}

shell::DatabaseState JournalRecorder::DatabaseState() const {
    std::lock_guard lock(mutex_);
    return databaseState_;
}

void JournalRecorder::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

void FrameRecorder::Record(Call call, std::vector<int> arguments) {
    {
        std::lock_guard lock(mutex_);
        notifications_.push_back({call, std::move(arguments)});
    }
    arrived_.notify_all();
}

void FrameRecorder::ReloadModels() {
    Record(Call::ReloadModels, {});
    if (onReload) onReload();
}

std::vector<FrameRecorder::Notification> FrameRecorder::Notifications() const {
    std::lock_guard lock(mutex_);
    return notifications_;
}

int FrameRecorder::CountLocked(Call call) const {
    return static_cast<int>(std::count_if(notifications_.begin(), notifications_.end(),
                                          [call](const Notification& n) { return n.call == call; }));
}

int FrameRecorder::Count(Call call) const {
    std::lock_guard lock(mutex_);
    return CountLocked(call);
}

bool FrameRecorder::WaitFor(Call call, int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return CountLocked(call) >= count; });
}

void FrameRecorder::Clear() {
    std::lock_guard lock(mutex_);
    notifications_.clear();
}

LogCapture::LogCapture() {
    path_ = dir_.filePath(QStringLiteral("Ostrovid.log"));
    platform::SetLogFile(path_, dir_.filePath(QStringLiteral("Ostrovid.log.1")));
}

QString LogCapture::Text() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

QString LogCapture::SinceMark() const { return Text().mid(mark_); }
void LogCapture::Mark() { mark_ = Text().size(); }

void SetConnectionString(settings::SettingsHub& hub, const QString& text) {
    hub.Update([&text](settings::SettingsState& next) { platform::CopyToFixed(next.DbConnectionString, text); });
}

}  // namespace dbtest
