#include "app/database/db_text.h"

#include "platform/fixedtext.h"
#include "platform/log.h"

namespace database {

QString FitText(const QString& text, size_t capacity) {
    if (capacity == 0) return {};
    if (static_cast<size_t>(text.size()) < capacity) return text;
    qsizetype kept = static_cast<qsizetype>(capacity - 1);
    if (kept > 0 && text[kept - 1].isHighSurrogate()) --kept;
    return text.left(kept);
}

QString ColumnText(const QString& text, size_t capacity, const char* operation, const char* column, uint32_t personId) {
    QString kept = FitText(text, capacity);
    if (kept.size() != text.size()) {
        WriteLog(QString::asprintf("%s(): Warning. Значение поля %s персоны ID=%u длиной %d символов сокращено до %d.",
                                   operation, column, personId, static_cast<int>(text.size()),
                                   static_cast<int>(kept.size())));
    }
    return kept;
}

bool CopyColumnText(char16_t* field, size_t capacity, const QString& text, const char* operation, const char* column,
                    uint32_t personId) {
    if (capacity == 0) return text.isEmpty();
    const QString kept = ColumnText(text, capacity, operation, column, personId);
    platform::CopyToFixed(field, capacity, kept);
    return kept.size() == text.size();
}

}  // namespace database
