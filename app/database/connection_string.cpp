#include "app/database/connection_string.h"

#include <QDir>

namespace database {

namespace {

const QString kProvider = QStringLiteral("Provider");
const QString kDataSource = QStringLiteral("Data Source");
const QString kUserId = QStringLiteral("User ID");
const QString kPassword = QStringLiteral("Password");
const QString kInitialCatalog = QStringLiteral("Initial Catalog");

bool SameKey(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool NeedsQuotes(const QString& value) {
    if (value.isEmpty()) return false;
    return value.contains(QLatin1Char(';')) || value.front() == QLatin1Char('"') ||
           value.front() == QLatin1Char('\'') || value.front().isSpace() || value.back().isSpace();
}

QString QuoteValue(const QString& value) {
    if (!NeedsQuotes(value)) return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void AppendPair(QString& out, const QString& key, const QString& value) {
    if (!out.isEmpty()) out += QLatin1Char(';');
    out += key + QLatin1Char('=') + QuoteValue(value);
}

// Splits "host:port"; a port is the digits after the last ':' outside brackets.
std::pair<QString, int> SplitHostPort(const QString& source) {
    const qsizetype colon = source.lastIndexOf(QLatin1Char(':'));
    const qsizetype bracket = source.lastIndexOf(QLatin1Char(']'));
    if (colon <= 0 || colon < bracket) return {source, 0};
    bool ok = false;
    const int port = source.mid(colon + 1).toInt(&ok);
    if (!ok || port <= 0 || port > 65535) return {source, 0};
    QString host = source.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);
    return {host, port};
}

}  // namespace

QString ProviderName(DbProvider provider) {
    return provider == DbProvider::SQLite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
}

QString ConnectionParams::host() const { return SplitHostPort(dataSource).first; }
int ConnectionParams::port() const { return SplitHostPort(dataSource).second; }

QString ConnectionParams::sqliteFile() const {
    if (initialCatalog.isEmpty()) return dataSource;
    return QDir(dataSource).filePath(initialCatalog + QStringLiteral(".db"));
}

std::optional<std::vector<std::pair<QString, QString>>> SplitConnectionString(const QString& text) {
    std::vector<std::pair<QString, QString>> pairs;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i].isSpace() || text[i] == QLatin1Char(';'))) ++i;
        if (i >= n) break;
        const qsizetype equals = text.indexOf(QLatin1Char('='), i);
        if (equals < 0) return std::nullopt;
        const QString key = text.mid(i, equals - i).trimmed();
        if (key.isEmpty() || key.contains(QLatin1Char(';'))) return std::nullopt;
        i = equals + 1;
        while (i < n && text[i].isSpace() && text[i] != QLatin1Char(';')) ++i;
        QString value;
        if (i < n && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\''))) {
            const QChar quote = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed) return std::nullopt;
            while (i < n && text[i].isSpace()) ++i;
            if (i < n && text[i] != QLatin1Char(';')) return std::nullopt;
        } else {
            const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
            const qsizetype end = semicolon < 0 ? n : semicolon;
            value = text.mid(i, end - i).trimmed();
            i = end;
        }
        pairs.emplace_back(key, value);
    }
    return pairs;
}

std::optional<ConnectionParams> ParseConnectionString(const QString& text) {
    auto pairs = SplitConnectionString(text);
    if (!pairs) return std::nullopt;
    ConnectionParams params;
    bool haveProvider = false;
    for (auto& [key, value] : *pairs) {
        if (SameKey(key, kProvider)) {
            if (SameKey(value, QStringLiteral("SQLite"))) {
                params.provider = DbProvider::SQLite;
            } else if (SameKey(value, QStringLiteral("PostgreSQL"))) {
                params.provider = DbProvider::PostgreSQL;
            } else {
                return std::nullopt;
            }
            haveProvider = true;
        } else if (SameKey(key, kDataSource) || SameKey(key, QStringLiteral("Server"))) {
            params.dataSource = value;
        } else if (SameKey(key, kUserId) || SameKey(key, QStringLiteral("User"))) {
            params.userId = value;
        } else if (SameKey(key, kPassword)) {
            params.password = value;
        } else if (SameKey(key, kInitialCatalog) || SameKey(key, QStringLiteral("Database"))) {
            params.initialCatalog = value;
        } else {
            params.extra.emplace_back(key, value);
        }
    }
    if (!haveProvider) return std::nullopt;
    return params;
}

QString ComposeConnectionString(const ConnectionParams& params) {
    QString out;
    AppendPair(out, kProvider, ProviderName(params.provider));
    AppendPair(out, kDataSource, params.dataSource);
    if (params.provider == DbProvider::PostgreSQL || !params.userId.isEmpty()) {
        AppendPair(out, kUserId, params.userId);
        AppendPair(out, kPassword, params.password);
    }
    for (const auto& [key, value] : params.extra) AppendPair(out, key, value);
    // Last, so that the server-level string is what precedes it.
    if (!params.initialCatalog.isEmpty()) AppendPair(out, kInitialCatalog, params.initialCatalog);
    return out;
}

QString ComposeServerLevelString(DbProvider provider, const QString& server, const QString& user,
                                 const QString& password) {
    ConnectionParams params;
    params.provider = provider;
    params.dataSource = server;
    params.userId = user;
    params.password = password;
    return ComposeConnectionString(params);
}

QString ServerLevelString(const QString& connectionString) {
    const qsizetype at = connectionString.indexOf(QStringLiteral(";Initial Catalog="), 0, Qt::CaseInsensitive);
    return at < 0 ? connectionString : connectionString.left(at);
}

}  // namespace database
