#pragma once
// Connection strings in the "key=value;" form:
//   Provider=SQLite;Data Source=<file>
//   Provider=SQLite;Data Source=<folder>;Initial Catalog=<name>      (the file <folder>/<name>.db)
//   Provider=PostgreSQL;Data Source=<host>[:<port>];User ID=<user>;Password=<password>;Initial Catalog=<db>
// The server-level string is everything before ";Initial Catalog=".

#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace database {

enum class DbProvider { SQLite, PostgreSQL };

// The whole string is at most this many characters (the setting's buffer holds one more).
constexpr int kMaxConnectionStringChars = 1023;

struct ConnectionParams {
    DbProvider provider = DbProvider::SQLite;
    QString dataSource;  // SQLite: file, or folder with a catalog; PostgreSQL: host[:port] or socket folder
    QString userId;
    QString password;
    QString initialCatalog;  // empty: the server level
    // Keys the program does not interpret, kept in their order.
    std::vector<std::pair<QString, QString>> extra;

    QString host() const;  // PostgreSQL: Data Source without the port
    int port() const;      // PostgreSQL: the port, 0 when absent
    // SQLite: the database file the string names (empty at the server level).
    QString sqliteFile() const;
};

// Splits "key=value;..." into pairs. Values may be quoted with " or ' (a doubled quote inside
// stands for itself), keys compare without regard to case. Nothing when the text is malformed.
std::optional<std::vector<std::pair<QString, QString>>> SplitConnectionString(const QString& text);

// Parses a whole string; nothing for an unknown or missing provider or malformed text.
std::optional<ConnectionParams> ParseConnectionString(const QString& text);

// The string for the parameters; values that need it are quoted.
QString ComposeConnectionString(const ConnectionParams& params);

// As the creation dialog composes it: provider, server, credentials; no catalog.
QString ComposeServerLevelString(DbProvider provider, const QString& server, const QString& user,
                                 const QString& password);

// Everything before ";Initial Catalog=" (case-insensitive); the whole string when it has none.
QString ServerLevelString(const QString& connectionString);

// The provider's name as the strings spell it.
QString ProviderName(DbProvider provider);

}  // namespace database
