#include "app/ui/database_page_rules.h"

#include "app/database/db_schema.h"
#include "settings/log_masking.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace ui {

namespace {

using database::DbProvider;

const QString kSqliteSuffix = QStringLiteral("db");

// The raw password value of a string (quotes included) and where it stands.
QRegularExpressionMatch PasswordValue(const QString& text) {
    static const QRegularExpression password(
        QStringLiteral(R"((?:^|;)\s*password\s*=\s*("(?:[^"]|"")*"|'(?:[^']|'')*'|[^;]*))"),
        QRegularExpression::CaseInsensitiveOption);
    return password.match(text);
}

QString SqliteFileWithSuffix(const QString& file) {
    if (file.isEmpty()) return file;
    const QFileInfo info(file);
    return info.suffix() == kSqliteSuffix ? file : file + u'.' + kSqliteSuffix;
}

}  // namespace

QString ConnectionStringForDisplay(const QString& connectionString) {
    return settings::ConnectionStringForLog(connectionString);
}

QString ConnectionStringFromDisplay(const QString& shown, const QString& previous) {
    const auto shownPassword = PasswordValue(shown);
    if (!shownPassword.hasMatch() || shownPassword.captured(1).trimmed() != QLatin1String(settings::kMaskedSecret))
        return shown;
    const auto previousPassword = PasswordValue(previous);
    if (!previousPassword.hasMatch()) return shown;
    QString restored = shown;
    restored.replace(shownPassword.capturedStart(1), shownPassword.capturedLength(1), previousPassword.captured(1));
    return restored;
}

DatabaseCreationForm::DatabaseCreationForm(const QString& connectionString) {
    const auto params = database::ParseConnectionString(connectionString);
    if (!params) return;
    provider = params->provider;
    if (provider == DbProvider::SQLite) {
        sqliteFile = QDir::toNativeSeparators(params->sqliteFile());
        return;
    }
    host = params->host();
    if (params->port() != 0) portText = QString::number(params->port());
    user = params->userId;
    // Carried over into a hidden field, so that changing the server keeps a working string.
    password = params->password;
    if (!params->initialCatalog.isEmpty()) databaseName = params->initialCatalog;
}

bool DatabaseCreationForm::CanTest() const {
    if (provider == DbProvider::SQLite) return !sqliteFile.trimmed().isEmpty();
    return !host.trimmed().isEmpty() && !user.isEmpty() && !password.isEmpty();
}

bool DatabaseCreationForm::CanCreate() const {
    if (!CanTest()) return false;
    return provider == DbProvider::SQLite || !databaseName.isEmpty();
}

QString DatabaseCreationForm::Problem() const {
    if (provider == DbProvider::PostgreSQL && !portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535) return QStringLiteral("Неверный номер порта: ") + portText;
    }
    if (provider == DbProvider::SQLite) {
        const QString typed = sqliteFile.trimmed();
        if (QFileInfo(typed).isDir() || QFileInfo(SqliteFileWithSuffix(typed)).isDir())
            return QStringLiteral("Указана папка, а не файл: ") + typed;
    }
    return database::CheckDatabaseName(provider, TargetName());
}

QString DatabaseCreationForm::TargetName() const {
    if (provider == DbProvider::PostgreSQL) return databaseName;
    return QFileInfo(SqliteFileWithSuffix(sqliteFile.trimmed())).completeBaseName();
}

QString DatabaseCreationForm::ServerLevelString() const {
    if (provider == DbProvider::SQLite) {
        const QFileInfo file(SqliteFileWithSuffix(sqliteFile.trimmed()));
        return database::ComposeServerLevelString(provider, file.absolutePath(), {}, {});
    }
    QString server = host.trimmed();
    if (!portText.isEmpty()) server += u':' + portText;
    return database::ComposeServerLevelString(provider, server, user, password);
}

QString DatabaseCreationForm::ConnectionString() const {
    auto params = database::ParseConnectionString(ServerLevelString());
    if (!params) return {};
    if (provider == DbProvider::SQLite) {
        params->dataSource = QFileInfo(SqliteFileWithSuffix(sqliteFile.trimmed())).absoluteFilePath();
    } else {
        params->initialCatalog = databaseName;
    }
    return database::ComposeConnectionString(*params);
}

}  // namespace ui
