#include "app/ui/database_page_rules.h"

#include "app/database/db_schema.h"
#include "settings/log_masking.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

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

QStringList ReplaceQuestions(const ReplacedDatabase& replaced) {
    QString first = QStringLiteral("База данных \"%1\" уже существует.").arg(replaced.name);
    if (replaced.inUse) first += QStringLiteral(" Программа сейчас работает с этой базой данных.");
    if (replaced.otherSessions > 0) {
        first +=
            QStringLiteral(" С ней работают другие станции (открытых соединений: %1), их соединения будут разорваны.")
                .arg(replaced.otherSessions);
    }
    first += QStringLiteral(" Все ее данные будут удалены. Заменить ее новой пустой базой данных?");
    QStringList questions{first};
    if (replaced.otherSessions > 0) {
        questions << QStringLiteral(
                         "Подтвердите еще раз: база данных \"%1\" используется другими станциями "
                         "(открытых соединений: %2). Удалить ее со всеми данными?")
                         .arg(replaced.name)
                         .arg(replaced.otherSessions);
    }
    return questions;
}

bool ConfirmReplace(const ReplacedDatabase& replaced, const std::function<bool(const QString& question)>& ask) {
    const QStringList questions = ReplaceQuestions(replaced);
    return std::all_of(questions.begin(), questions.end(), [&ask](const QString& question) { return ask(question); });
}

bool SameDatabase(const QString& a, const QString& b) {
    const auto first = database::ParseConnectionString(a);
    const auto second = database::ParseConnectionString(b);
    if (!first || !second || first->provider != second->provider) return false;
    if (first->provider == DbProvider::SQLite) {
        const QString file = first->sqliteFile();
        return !file.isEmpty() &&
               QFileInfo(file).absoluteFilePath() == QFileInfo(second->sqliteFile()).absoluteFilePath();
    }
    constexpr int kDefaultPort = 5432;
    const auto port = [](const database::ConnectionParams& p) { return p.port() != 0 ? p.port() : kDefaultPort; };
    return first->host().compare(second->host(), Qt::CaseInsensitive) == 0 && port(*first) == port(*second) &&
           !first->initialCatalog.isEmpty() && first->initialCatalog == second->initialCatalog;
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
