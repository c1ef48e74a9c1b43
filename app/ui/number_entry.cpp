#include "app/ui/number_entry.h"

namespace ui {

NumberEntry EnterLimitedNumber(const QString& text, int64_t minimum, int64_t maximum) {
    const QString trimmed = text.trimmed();
    bool valid = false;
    const qlonglong typed = trimmed.toLongLong(&valid);
    if (!valid && !trimmed.isEmpty() && trimmed.front().isDigit()) return {maximum, QString::number(maximum)};
    if (!valid || typed < minimum) return {minimum, std::nullopt};
    if (typed > maximum) return {maximum, QString::number(maximum)};
    return {typed, std::nullopt};
}

}  // namespace ui
