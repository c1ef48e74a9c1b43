#include "app/database/db_text.h"

#include "platform/fixedtext.h"
#include "platform/log.h"

namespace database {

bool CopyColumnText(char16_t* field, size_t capacity, const QString& text, const char* operation,
                    const char* column, uint32_t personId) {
    if (capacity == 0) return text.isEmpty();
    if (static_cast<size_t>(text.size()) < capacity) {
        platform::CopyToFixed(field, capacity, text);
        return true;
    }
    qsizetype kept = static_cast<qsizetype>(capacity - 1);
    if (kept > 0 && text[kept - 1].isHighSurrogate()) --kept;
    platform::CopyToFixed(field, capacity, QStringView(text).left(kept));
    WriteLog(QString::asprintf("%s(): Warning. Значение поля %s персоны ID=%u длиной %d символов сокращено до %d.",
                               operation, column, personId, static_cast<int>(text.size()), static_cast<int>(kept)));
    return false;
}

}  // namespace database
