#include "app/database/db_schema.h"

#include "app/database/db_operation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace database {

namespace {

struct StatementRow {
    DbStatement id;
    const char* sqlServer;  // the text as the SQL Server program used it
    const char* sqlite;
    const char* postgres;
};

// "N'...'" literals do not exist in SQLite; "@@IDENTITY" is spelled per dialect.
const std::array<StatementRow, 8> kStatements{{
    {DbStatement::VersionQuery, "SELECT MAJORNUMBER FROM VERSIONS where name = N'DATABASE'",
     "SELECT MAJORNUMBER FROM VERSIONS where name = 'DATABASE'",
     "SELECT MAJORNUMBER FROM VERSIONS where name = N'DATABASE'"},
    {DbStatement::PersonsSyncQuery,
     "SELECT P.PERSON_ID,P.LIST_NUM,P.STATE,P.SURNAME,P.FORENAME,P.SECONDNAME,P.ALIAS,P.EXT_KEY,P.Gender,"
     "P.DateOfBirth,P.SPEECH,(SELECT COUNT(*) FROM SAMPLES WHERE PERSON_ID = P.PERSON_ID) AS SAMPLESCOUNT,"
     "(SELECT COUNT(*) FROM PERSONS) AS PERSONSCOUNT from PERSONS AS P ORDER BY P.PERSON_ID",
     nullptr,
     // PostgreSQL runs the per-person count as one subquery per person; counting every person's
     // samples in one ordered scan of the index and merging takes half the time.
     "SELECT P.PERSON_ID,P.LIST_NUM,P.STATE,P.SURNAME,P.FORENAME,P.SECONDNAME,P.ALIAS,P.EXT_KEY,P.Gender,"
     "P.DateOfBirth,P.SPEECH,COALESCE(S.N,0) AS SAMPLESCOUNT,(SELECT COUNT(*) FROM PERSONS) AS PERSONSCOUNT "
     "from PERSONS AS P LEFT JOIN (SELECT PERSON_ID,COUNT(*) AS N FROM SAMPLES GROUP BY PERSON_ID) AS S "
     "ON S.PERSON_ID = P.PERSON_ID ORDER BY P.PERSON_ID"},
    {DbStatement::SampleDescriptorsQuery, "SELECT DESCRIPTOR FROM SAMPLES WHERE PERSON_ID=?", nullptr, nullptr},
    // The samples of a run of persons, each person's in the order they were added.
    {DbStatement::SampleRunQuery,
     "SELECT PERSON_ID,DESCRIPTOR FROM SAMPLES WHERE PERSON_ID BETWEEN ? AND ? ORDER BY PERSON_ID,SAMPLE_ID", nullptr,
     nullptr},
    {DbStatement::PersonIdentity, "SELECT @@IDENTITY AS PERSONID", "SELECT last_insert_rowid() AS PERSONID",
     "SELECT lastval() AS PERSONID"},
    {DbStatement::PhotoIdentity, "SELECT @@IDENTITY AS PERSONPHOTOID", "SELECT last_insert_rowid() AS PERSONPHOTOID",
     "SELECT lastval() AS PERSONPHOTOID"},
    {DbStatement::SampleIdentity, "SELECT @@IDENTITY AS PERSONSAMPLEID", "SELECT last_insert_rowid() AS PERSONSAMPLEID",
     "SELECT lastval() AS PERSONSAMPLEID"},
    {DbStatement::PersonPropIdentity, "SELECT @@IDENTITY AS PERSONPROPID", "SELECT last_insert_rowid() AS PERSONPROPID",
     "SELECT lastval() AS PERSONPROPID"},
}};

// SQLite: no ALTER TABLE ... ADD CONSTRAINT, so the foreign keys are declared in the tables;
// AUTOINCREMENT so that ids, like IDENTITY values, are never handed out twice.
const QStringList kSqliteSchema{
    QStringLiteral("CREATE TABLE VERSIONS (NAME nvarchar(64),MAJORNUMBER int NOT NULL,MINORNUMBER int NOT NULL)"),
    QStringLiteral("INSERT INTO VERSIONS (NAME, MAJORNUMBER, MINORNUMBER) VALUES ('DATABASE',2,0)"),
    QStringLiteral(
        "CREATE TABLE PERSONS (PERSON_ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,STATE int NOT NULL,"
        "ACCURATELY int NOT NULL DEFAULT 0,WRONG int NOT NULL DEFAULT 0,"
        "LIST_NUM tinyint NOT NULL CHECK (LIST_NUM IN (0, 1, 2)),SURNAME nvarchar(64) NOT NULL,"
        "FORENAME nvarchar(64),SECONDNAME nvarchar(64),ALIAS nvarchar(16) NULL,EXT_KEY nvarchar(32) NULL,"
        "Gender tinyint NOT NULL CHECK (Gender IN (0, 1)),DateOfBirth datetime NULL,ADDRESS nvarchar(256) NULL,"
        "CONTACTS nvarchar(256) NULL,DESCRIPTION nvarchar(256) NULL,SPEECH nvarchar(256) NULL)"),
    QStringLiteral("CREATE TABLE PHOTO (PHOTO_ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,"
                   "PERSON_ID int NOT NULL CONSTRAINT FK_PHOTO_PERSON_ID_TO_PERSONS_PERSON_ID "
                   "REFERENCES PERSONS(PERSON_ID) ON DELETE CASCADE ON UPDATE CASCADE,BINDATA BLOB NOT NULL)"),
    QStringLiteral("CREATE TABLE SAMPLES (SAMPLE_ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,"
                   "PERSON_ID int NOT NULL CONSTRAINT FK_SAMPLES_PERSON_ID_TO_PERSONS_PERSON_ID "
                   "REFERENCES PERSONS(PERSON_ID) ON DELETE CASCADE ON UPDATE CASCADE,BINDATA BLOB NOT NULL,"
                   "DESCRIPTOR BLOB NOT NULL)"),
    QStringLiteral("CREATE TABLE PROPLIST (PROP_ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,SEQ_NUM int NOT NULL,"
                   "PROPNAME nvarchar(64) NOT NULL)"),
    QStringLiteral("CREATE TABLE PERSONPROP (ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,"
                   "PERSON_ID int NOT NULL CONSTRAINT FK_PERSONPROP_PERSON_ID_TO_PERSONS_PERSON_ID "
                   "REFERENCES PERSONS(PERSON_ID) ON DELETE CASCADE ON UPDATE CASCADE,"
                   "PROP_ID int NOT NULL CONSTRAINT FK_PERSONPROP_PROP_ID_TO_PROPLIST_PROP_ID "
                   "REFERENCES PROPLIST(PROP_ID) ON DELETE CASCADE ON UPDATE CASCADE,"
                   "PROPVALUE nvarchar(256) NOT NULL)"),
    // The per-person sample count of every synchronization pass and the cascades search these.
    QStringLiteral("CREATE INDEX IX_SAMPLES_PERSON_ID ON SAMPLES (PERSON_ID)"),
    QStringLiteral("CREATE INDEX IX_PHOTO_PERSON_ID ON PHOTO (PERSON_ID)"),
    QStringLiteral("CREATE INDEX IX_PERSONPROP_PERSON_ID ON PERSONPROP (PERSON_ID)"),
    QStringLiteral("CREATE INDEX IX_PERSONPROP_PROP_ID ON PERSONPROP (PROP_ID)"),
};

// PostgreSQL: varchar for nvarchar, smallint for tinyint, bytea for varbinary/binary,
// timestamp for datetime, identity columns for IDENTITY(1,1).
const QStringList kPostgresSchema{
    QStringLiteral("CREATE TABLE VERSIONS (NAME varchar(64),MAJORNUMBER int NOT NULL,MINORNUMBER int NOT NULL)"),
    QStringLiteral("INSERT INTO VERSIONS (NAME, MAJORNUMBER, MINORNUMBER) VALUES (N'DATABASE',2,0)"),
    QStringLiteral(
        "CREATE TABLE PERSONS (PERSON_ID int GENERATED BY DEFAULT AS IDENTITY NOT NULL PRIMARY KEY,"
        "STATE int NOT NULL,ACCURATELY int NOT NULL DEFAULT 0,WRONG int NOT NULL DEFAULT 0,"
        "LIST_NUM smallint NOT NULL CHECK (LIST_NUM IN (0, 1, 2)),SURNAME varchar(64) NOT NULL,"
        "FORENAME varchar(64),SECONDNAME varchar(64),ALIAS varchar(16) NULL,EXT_KEY varchar(32) NULL,"
        "Gender smallint NOT NULL CHECK (Gender IN (0, 1)),DateOfBirth timestamp NULL,ADDRESS varchar(256) NULL,"
        "CONTACTS varchar(256) NULL,DESCRIPTION varchar(256) NULL,SPEECH varchar(256) NULL)"),
    QStringLiteral("CREATE TABLE PHOTO (PHOTO_ID int GENERATED BY DEFAULT AS IDENTITY NOT NULL PRIMARY KEY,"
                   "PERSON_ID int NOT NULL,BINDATA bytea NOT NULL)"),
    QStringLiteral("ALTER TABLE PHOTO ADD CONSTRAINT FK_PHOTO_PERSON_ID_TO_PERSONS_PERSON_ID FOREIGN KEY (PERSON_ID) "
                   "REFERENCES PERSONS(PERSON_ID) ON DELETE CASCADE ON UPDATE CASCADE"),
    QStringLiteral("CREATE TABLE SAMPLES (SAMPLE_ID int GENERATED BY DEFAULT AS IDENTITY NOT NULL PRIMARY KEY,"
                   "PERSON_ID int NOT NULL,BINDATA bytea NOT NULL,DESCRIPTOR bytea NOT NULL)"),
    QStringLiteral("ALTER TABLE SAMPLES ADD CONSTRAINT FK_SAMPLES_PERSON_ID_TO_PERSONS_PERSON_ID FOREIGN KEY "
                   "(PERSON_ID) REFERENCES PERSONS(PERSON_ID) ON DELETE CASCADE ON UPDATE CASCADE"),
    QStringLiteral("CREATE TABLE PROPLIST (PROP_ID int GENERATED BY DEFAULT AS IDENTITY NOT NULL PRIMARY KEY,"
                   "SEQ_NUM int NOT NULL,PROPNAME varchar(64) NOT NULL)"),
    QStringLiteral("CREATE TABLE PERSONPROP (ID int GENERATED BY DEFAULT AS IDENTITY NOT NULL PRIMARY KEY,"
                   "PERSON_ID int NOT NULL,PROP_ID int NOT NULL,PROPVALUE varchar(256) NOT NULL)"),
    QStringLiteral("ALTER TABLE PERSONPROP ADD CONSTRAINT FK_PERSONPROP_PERSON_ID_TO_PERSONS_PERSON_ID FOREIGN KEY "
                   "(PERSON_ID) REFERENCES PERSONS(PERSON_ID) ON DELETE CASCADE ON UPDATE CASCADE"),
    QStringLiteral("ALTER TABLE PERSONPROP ADD CONSTRAINT FK_PERSONPROP_PROP_ID_TO_PROPLIST_PROP_ID FOREIGN KEY "
                   "(PROP_ID) REFERENCES PROPLIST(PROP_ID) ON DELETE CASCADE ON UPDATE CASCADE"),
    QStringLiteral("CREATE INDEX IX_SAMPLES_PERSON_ID ON SAMPLES (PERSON_ID)"),
    QStringLiteral("CREATE INDEX IX_PHOTO_PERSON_ID ON PHOTO (PERSON_ID)"),
    QStringLiteral("CREATE INDEX IX_PERSONPROP_PERSON_ID ON PERSONPROP (PERSON_ID)"),
    QStringLiteral("CREATE INDEX IX_PERSONPROP_PROP_ID ON PERSONPROP (PROP_ID)"),
};

void RunNoRecords(DbConnection& connection, const QString& text) {
    DbCommand command(connection);
    command.SetCommandText(text);
    command.Execute(kExecChange);
}

// Runs the table script in one transaction, so that a failure leaves no half-made schema.
void RunSchemaScript(DbConnection& connection) {
    DbTransaction transaction(connection);
    transaction.Begin();
    try {
        for (const QString& statement : SchemaStatements(connection.Provider())) RunNoRecords(connection, statement);
        transaction.Commit();
    } catch (const DbError&) {
        transaction.RollbackAfterFailure();
        throw;
    }
}

QString QuotedIdentifier(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

void RemoveSqliteFiles(const QString& file) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) QFile::remove(file + QLatin1String(suffix));
}

CreateDatabaseResult Failure(CreateDatabaseResult::Status status, const QString& error) {
    CreateDatabaseResult result;
    result.status = status;
    result.error = error;
    return result;
}

CreateDatabaseResult CreateSqlite(const ConnectionParams& server, const QString& name,
                                  const ConfirmReplaceDatabase& confirmReplace) {
    const QFileInfo folder(server.dataSource);
    if (server.dataSource.isEmpty() || !folder.isDir() || !folder.isWritable()) {
        return Failure(CreateDatabaseResult::ConnectFailed,
                       QStringLiteral("unable to open database folder: ") + server.dataSource);
    }
    ConnectionParams full = server;
    full.initialCatalog = name;
    const QString file = full.sqliteFile();
    if (QFileInfo::exists(file)) {
        if (confirmReplace && !confirmReplace({name, 0})) return Failure(CreateDatabaseResult::Declined, {});
        RemoveSqliteFiles(file);
        if (QFileInfo::exists(file)) {
            return Failure(CreateDatabaseResult::CreateFailed,
                           QStringLiteral("unable to delete database file: ") + file);
        }
    }
    try {
        CreateSqliteDatabaseFile(file);
    } catch (const DbError& error) {
        RemoveSqliteFiles(file);
        return Failure(CreateDatabaseResult::CreateFailed, error.Description());
    }
    CreateDatabaseResult result;
    result.status = CreateDatabaseResult::Created;
    result.connectionString = ComposeConnectionString(full);
    return result;
}

// The client sessions on the database; the creating connection itself is on another one.
int OtherSessions(DbConnection& connection, const QString& name) {
    DbCommand sessions(connection);
    sessions.SetCommandText(
        QStringLiteral("SELECT COUNT(*) AS N FROM pg_stat_activity WHERE datname = ? AND "
                       "backend_type = 'client backend' AND pid <> pg_backend_pid()"));
    sessions.AppendText(QStringLiteral("datname"), name);
    sessions.Execute(kExecSync);
    return ReadInteger(sessions.Recordset().Field(QStringLiteral("N")));
}

CreateDatabaseResult CreatePostgres(const QString& serverLevelString, const ConnectionParams& server,
                                    const QString& name, const ConfirmReplaceDatabase& confirmReplace) {
    DbConnection connection;
    try {
        connection.Open(serverLevelString);
    } catch (const DbError& error) {
        return Failure(CreateDatabaseResult::ConnectFailed, error.Description());
    }
    try {
        DbCommand exists(connection);
        exists.SetCommandText(QStringLiteral("SELECT 1 AS FOUND FROM pg_database WHERE datname = ?"));
        exists.AppendText(QStringLiteral("datname"), name);
        exists.Execute(kExecSync);
        if (!exists.Recordset().Eof() && confirmReplace) {
            // Stations that connected while the operator was asked are asked about again.
            for (int agreed = -1;;) {
                const int sessions = OtherSessions(connection, name);
                if (sessions <= agreed) break;
                if (!confirmReplace({name, sessions})) return Failure(CreateDatabaseResult::Declined, {});
                agreed = sessions;
            }
        }
        // WITH (FORCE) ends the other sessions first, as SINGLE_USER WITH ROLLBACK IMMEDIATE does.
        RunNoRecords(connection, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(QuotedIdentifier(name)));
        RunNoRecords(
            connection,
            QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(QuotedIdentifier(name)));
        connection.Close();
        ConnectionParams full = server;
        full.initialCatalog = name;
        const QString fullString = ComposeConnectionString(full);
        connection.Open(fullString);
        RunSchemaScript(connection);
        CreateDatabaseResult result;
        result.status = CreateDatabaseResult::Created;
        result.connectionString = fullString;
        return result;
    } catch (const DbError& error) {
        return Failure(CreateDatabaseResult::CreateFailed, error.Description());
    }
}

}  // namespace

QString StatementText(DbStatement statement, DbProvider provider) {
    for (const StatementRow& row : kStatements) {
        if (row.id != statement) continue;
        const char* text = provider == DbProvider::SQLite ? row.sqlite : row.postgres;
        return QString::fromUtf8(text != nullptr ? text : row.sqlServer);
    }
    return {};
}

const QStringList& SchemaStatements(DbProvider provider) {
    return provider == DbProvider::SQLite ? kSqliteSchema : kPostgresSchema;
}

int QueryDatabaseVersion(DbConnection& connection) {
    DbCommand command(connection);
    command.SetCommandText(StatementText(DbStatement::VersionQuery, connection.Provider()));
    command.Execute(kExecSync);
    DbRecordset& rows = command.Recordset();
    const int version = rows.Eof() ? -1 : ReadInteger(rows.Field(QStringLiteral("MAJORNUMBER")));
    rows.Close();
    return version;
}

QString CheckDatabaseName(DbProvider provider, const QString& name) {
    if (name.isEmpty()) return QStringLiteral("Не задано имя базы данных");
    if (name.size() > 127) return QStringLiteral("Имя базы данных длиннее 127 символов");
    if (name.trimmed() != name) return QStringLiteral("Имя базы данных начинается или кончается пробелом");
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c == QChar(0x7f) || QStringLiteral("\"'[];/\\=").contains(c)) {
            return QStringLiteral("Имя базы данных содержит недопустимый символ '%1'")
                .arg(c.unicode() < 0x20 ? QChar(u'?') : c);
        }
    }
    if (name == QStringLiteral(".") || name == QStringLiteral(".."))
        return QStringLiteral("Недопустимое имя базы данных");
    // PostgreSQL would silently cut a longer name, and the string would then name another database.
    if (provider == DbProvider::PostgreSQL && name.toUtf8().size() > 63) {
        return QStringLiteral("Имя базы данных длиннее 63 байт");
    }
    return {};
}

std::optional<QString> TestServerConnection(const QString& serverLevelString) {
    const auto params = ParseConnectionString(serverLevelString);
    if (!params) return QStringLiteral("Неверный формат строки соединения");
    if (params->provider == DbProvider::SQLite) {
        const QFileInfo folder(params->dataSource);
        if (params->dataSource.isEmpty() || !folder.isDir() || !folder.isWritable()) {
            return QStringLiteral("unable to open database folder: ") + params->dataSource;
        }
        return std::nullopt;
    }
    DbConnection connection;
    try {
        connection.Open(serverLevelString);
    } catch (const DbError& error) {
        return error.Description();
    }
    return std::nullopt;
}

CreateDatabaseResult CreateDatabase(const QString& serverLevelString, const QString& name,
                                    const ConfirmReplaceDatabase& confirmReplace) {
    const auto params = ParseConnectionString(serverLevelString);
    if (!params)
        return Failure(CreateDatabaseResult::ConnectFailed, QStringLiteral("Неверный формат строки соединения"));
    const QString nameError = CheckDatabaseName(params->provider, name);
    if (!nameError.isEmpty()) return Failure(CreateDatabaseResult::CreateFailed, nameError);
    ConnectionParams server = *params;
    server.initialCatalog.clear();
    if (params->provider == DbProvider::SQLite) return CreateSqlite(server, name, confirmReplace);
    return CreatePostgres(ComposeConnectionString(server), server, name, confirmReplace);
}

void CreateSqliteDatabaseFile(const QString& file) {
    if (QFileInfo::exists(file)) throw DbError(QStringLiteral("database file already exists: ") + file);
    ConnectionParams params;
    params.provider = DbProvider::SQLite;
    params.dataSource = file;
    DbConnection connection;
    connection.Open(ComposeConnectionString(params), true);
    RunSchemaScript(connection);
}

}  // namespace database
