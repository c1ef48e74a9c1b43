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

}  // namespace settings
