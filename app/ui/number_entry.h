#pragma once
// Purpose: the settings pages' rule for a typed number with limits: a number above its maximum is
//          replaced at once and shown replaced; one below its minimum is replaced in the stored
//          value only, so the user can go on typing.
// Threads: any.
// Owns: nothing.

#include <QString>

#include <optional>

namespace ui {

struct NumberEntry {
    int value = 0;                 // what goes into the settings copy
    std::optional<QString> shown;  // the field's new text, when the field must change
};

// Text that is empty or not a number counts as 0.
NumberEntry EnterLimitedNumber(const QString& text, int minimum, int maximum);

}  // namespace ui
