#pragma once
// The person database schema in both dialects, its creation, the version row and its check,
// and the statements whose text depends on the dialect.

#include "app/database/connection_string.h"
#include "app/database/db_access.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace database {

enum class DbStatement {
    VersionQuery,
    PersonsSyncQuery,
    SampleDescriptorsQuery,
    SampleRunQuery,
    PersonIdentity,
    PhotoIdentity,
    SampleIdentity,
    PersonPropIdentity,
};

// The statement's text for the provider.
QString StatementText(DbStatement statement, DbProvider provider);

// The statements that create the six tables and the version row ('DATABASE', 2, 0), in order.
const QStringList& SchemaStatements(DbProvider provider);

// The lowest usable MAJORNUMBER of the version row.
constexpr int kRequiredMajorVersion = 2;
inline const QString kVersionTooLowText = QStringLiteral("Версия БД менее 2.0 или отсутствует");

// MAJORNUMBER of the version row, -1 when there is none; throws DbError.
int QueryDatabaseVersion(DbConnection& connection);

// Why a database name cannot be used, empty when it can. Names go into statements and into the
// connection string, so quotes, brackets, separators and path characters are refused.
QString CheckDatabaseName(DbProvider provider, const QString& name);

// Tests the server-level string: nothing on success, else the description.
std::optional<QString> TestServerConnection(const QString& serverLevelString);

// A database the creation would replace.
struct ExistingDatabase {
    QString name;
    // Sessions of other stations on it (PostgreSQL client sessions); SQLite has none.
    int otherSessions = 0;
};

// Asked before a database of the same name is replaced (on the creating thread); false keeps it.
// Asked again when more sessions are found after it agreed.
using ConfirmReplaceDatabase = std::function<bool(const ExistingDatabase& existing)>;

struct CreateDatabaseResult {
    enum Status {
        Created,
        ConnectFailed,  // the server cannot be reached: caption "Соединение с SQL сервером"
        CreateFailed,   // a script failed: caption "Создание базы данных"
        Declined,       // the confirmation hook kept the existing database
    };
    Status status = CreateFailed;
    QString error;             // the description for the failures
    QString connectionString;  // for Created: the server-level string + ";Initial Catalog=" + name
};

// Creates the database `name` on the server of serverLevelString with the schema, replacing a
// database of that name (after confirmReplace agrees, when given).
CreateDatabaseResult CreateDatabase(const QString& serverLevelString, const QString& name,
                                    const ConfirmReplaceDatabase& confirmReplace = {});

// Creates the schema in the SQLite file (which must not exist yet).
void CreateSqliteDatabaseFile(const QString& file);

}  // namespace database
