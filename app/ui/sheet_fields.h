#pragma once
// Purpose: the input rules the settings pages share: text fields that keep at most their record's
//          capacity and may lose their outer blanks, and number fields with a minimum and maximum.
// Threads: any.
// Owns: nothing.

#include "platform/fixedtext.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ui {

enum class Blanks { Kept, Trimmed };

// The longest text a fixed field holds (its last unit is the terminator).
template <size_t N>
constexpr int MaxChars(const char16_t (&)[N]) {
    return int(N - 1);
}

// What the field keeps of a typed text; written into the record as well.
template <size_t N>
QString StoreText(char16_t (&field)[N], const QString& typed, Blanks blanks) {
    QString text = blanks == Blanks::Trimmed ? typed.trimmed() : typed;
    text.truncate(N - 1);
    platform::CopyToFixed(field, text);
    return text;
}

// A number typed into a digits-only field.
struct NumberEntry {
    int64_t stored = 0;
    // The text the field must show instead of what was typed; nothing: leave the field alone.
    std::optional<QString> shown;
};

// Above `max`: `max`, shown at once. Below `min` (an empty field included): `min` in the record
// only, the field keeps what was typed.
NumberEntry ClampNumber(const QString& typed, int64_t min, int64_t max);

}  // namespace ui
