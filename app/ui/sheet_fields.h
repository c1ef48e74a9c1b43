#pragma once
// Purpose: the input rules the settings pages share: text fields that keep at most their record's
//          capacity and may lose their outer blanks.
// Threads: any.
// Owns: nothing.

#include "platform/fixedtext.h"

#include <QString>

#include <cstddef>

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

}  // namespace ui
