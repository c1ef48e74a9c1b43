#include "platform/fixedtext.h"

#include <algorithm>

namespace platform {

bool CopyToFixed(char16_t* field, size_t capacity, QStringView text) {
    if (capacity == 0) return text.isEmpty();
    const size_t length = static_cast<size_t>(text.size());
    const size_t kept = std::min(length, capacity - 1);
    std::copy_n(text.utf16(), kept, field);
    std::fill(field + kept, field + capacity, u'\0');
    return kept == length;
}

QString FromFixed(const char16_t* field, size_t capacity) {
    const char16_t* end = std::find(field, field + capacity, u'\0');
    return QString(reinterpret_cast<const QChar*>(field), static_cast<qsizetype>(end - field));
}

}  // namespace platform
