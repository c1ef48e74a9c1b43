#include "app/ui/number_entry.h"

namespace ui {

NumberEntry EnterLimitedNumber(const QString& text, int minimum, int maximum) {
    bool ok = false;
    const int typed = text.trimmed().toInt(&ok);
    NumberEntry entry;
    entry.value = ok ? typed : 0;
    if (entry.value > maximum) {
        entry.value = maximum;
        entry.shown = QString::number(maximum);
    } else if (entry.value < minimum) {
        entry.value = minimum;
    }
    return entry;
}

}  // namespace ui
