#pragma once
// Fixed-capacity UTF-16 fields: the in-memory records and the byte layouts that cross process
// boundaries hold texts as char16_t arrays with a terminating NUL.

#include <QString>
#include <QStringView>
#include <cstddef>

namespace platform {

// Copies text into a field of `capacity` code units, cut to capacity - 1 units and always
// NUL-terminated; the rest of the field is cleared. Returns false when the text was cut.
bool CopyToFixed(char16_t* field, size_t capacity, QStringView text);

template <size_t N>
bool CopyToFixed(char16_t (&field)[N], QStringView text) {
    return CopyToFixed(field, N, text);
}

// The text of a field up to its first NUL, or the whole field when it has none.
QString FromFixed(const char16_t* field, size_t capacity);

template <size_t N>
QString FromFixed(const char16_t (&field)[N]) {
    return FromFixed(field, N);
}

}  // namespace platform
