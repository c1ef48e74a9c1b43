#include "app/ui/sheet_fields.h"

namespace ui {

NumberEntry ClampNumber(const QString& typed, int64_t min, int64_t max) {
    bool valid = false;
    const qlonglong value = typed.trimmed().toLongLong(&valid);
    // Digits beyond what a number holds are above any maximum.
    if (!valid && !typed.trimmed().isEmpty() && typed.trimmed().front().isDigit()) return {max, QString::number(max)};
    if (!valid || value < min) return {min, std::nullopt};
    if (value > max) return {max, QString::number(max)};
    return {value, std::nullopt};
}

}  // namespace ui
