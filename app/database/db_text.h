#pragma once
// Texts read from the database into fixed in-memory fields.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace database {

// Copies a column's text into a field of `capacity` units. A text that does not fit is cut to
// capacity - 1 units (never between the halves of a surrogate pair), and the cut is logged as
// "<operation>(): Warning. ..." naming the column and the person. False when it was cut.
bool CopyColumnText(char16_t* field, size_t capacity, const QString& text, const char* operation,
                    const char* column, uint32_t personId);

template <size_t N>
bool CopyColumnText(char16_t (&field)[N], const QString& text, const char* operation, const char* column,
                    uint32_t personId) {
    return CopyColumnText(field, N, text, operation, column, personId);
}

}  // namespace database
