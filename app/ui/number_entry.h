#pragma once
// Purpose: the settings pages' rule for a typed number with limits: a number above its maximum is
//          replaced at once and shown replaced; one below its minimum is replaced in the stored
//          value only, so the user can go on typing.
// Threads: any.
// Owns: nothing.

#include <QString>

#include <cstdint>
#include <optional>

namespace ui {

struct NumberEntry {
    int64_t value = 0;             // what goes into the settings copy
    std::optional<QString> shown;  // the field's new text, when the field must change
};

// Text that is empty or not a number counts as below the minimum; digits beyond what a number
// holds count as above the maximum.
NumberEntry EnterLimitedNumber(const QString& text, int64_t minimum, int64_t maximum);

}  // namespace ui
