#include "settings/log_masking.h"

#include <QRegularExpression>

namespace settings {

QString ConnectionStringForLog(const QString& connectionString) {
    // A value may be quoted with " or ' and then hold ';' (a doubled quote stands for itself).
    static const QRegularExpression password(
        QStringLiteral(R"((^|;)(\s*password\s*=\s*)("(?:[^"]|"")*"|'(?:[^']|'')*'|[^;]*))"),
        QRegularExpression::CaseInsensitiveOption);
    QString masked = connectionString;
    masked.replace(password, QStringLiteral("\\1\\2") + QLatin1String(kMaskedSecret));
    return masked;
}

QString CameraUrlForLog(const QString& url) {
    const qsizetype scheme = url.indexOf(QStringLiteral("://"));
    const qsizetype authority = scheme < 0 ? 0 : scheme + 3;
    qsizetype authorityEnd = url.indexOf(QLatin1Char('/'), authority);
    if (authorityEnd < 0) authorityEnd = url.size();
    // The last '@' ends the user part: a password may itself hold '@'.
    const qsizetype at = url.lastIndexOf(QLatin1Char('@'), authorityEnd - 1);
    if (at < authority) return url;
    const qsizetype colon = url.indexOf(QLatin1Char(':'), authority);
    if (colon < 0 || colon > at) return url;
    return url.left(colon + 1) + QLatin1String(kMaskedSecret) + url.mid(at);
}

}  // namespace settings
