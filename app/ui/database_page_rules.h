#pragma once
// Purpose: the rules of the database settings page and of its creation dialog: the connection
//          string shown with its password masked, the creation form's fields, their enabling, the
//          server-level string they compose, and what the operator must agree to before an
//          existing database is replaced.
// Threads: the user-interface thread.
// Owns: the creation form's field values.

#include "app/database/connection_string.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace ui {

inline constexpr int kServerFieldChars = 255;
inline constexpr int kCredentialFieldChars = 127;
inline constexpr int kDatabaseNameChars = 127;
inline const QString kDefaultDatabaseName = QStringLiteral("Ostrovid");
inline const QString kDatabaseCreatedText = QStringLiteral("База данных успешно создана!");
inline const QString kProgramCaption = QStringLiteral("Vektra Ostrovid v.2.2.0");
inline const QString kCreationCaption = QStringLiteral("Создание базы данных");
inline const QString kServerConnectCaption = QStringLiteral("Соединение с SQL сервером");
inline const QString kConnectionTestCaption = QStringLiteral("Канал передачи данных Microsoft");
inline const QString kConnectionTestPassedText = QStringLiteral("Проверка соединения выполнена");

// The connection string as the page shows it: every password replaced by a mask.
QString ConnectionStringForDisplay(const QString& connectionString);
// The string to keep after the operator edited the shown one: while the password still reads as
// the mask, the password of `previous` stands in for it.
QString ConnectionStringFromDisplay(const QString& shown, const QString& previous);

// A database the creation would replace, as the operator is told about it.
struct ReplacedDatabase {
    QString name;
    bool inUse = false;     // the program works with it now
    int otherSessions = 0;  // sessions of other stations on it
};

// The questions that must all be answered Yes before it is replaced, in order: one naming it,
// and a second one while other stations work with it.
QStringList ReplaceQuestions(const ReplacedDatabase& replaced);
// Asks them through ask, stopping at the first No; true when the replacement may go ahead.
bool ConfirmReplace(const ReplacedDatabase& replaced, const std::function<bool(const QString& question)>& ask);
// Whether both strings name one database: the same SQLite file, or the same database on the same
// PostgreSQL server.
bool SameDatabase(const QString& a, const QString& b);

// The fields of the creation dialog.
class DatabaseCreationForm {
public:
    // Starts from the caller's string where it names a server of a known provider.
    explicit DatabaseCreationForm(const QString& connectionString);

    database::DbProvider provider = database::DbProvider::SQLite;
    QString sqliteFile;  // the database file (".db" is added when missing)
    QString host;
    QString portText;  // empty: the server's default port
    QString user;
    QString password;
    QString databaseName = kDefaultDatabaseName;

    // "Создать" is enabled.
    bool CanCreate() const;
    // "Проверить соединение" is enabled.
    bool CanTest() const;
    // Why the fields cannot be used, empty when they can.
    QString Problem() const;
    QString ServerLevelString() const;
    // The whole string naming the database of the fields (no database is created).
    QString ConnectionString() const;
    // The name the database gets: for SQLite the file's base name.
    QString TargetName() const;
};

}  // namespace ui
