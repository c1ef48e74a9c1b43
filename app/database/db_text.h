#pragma once
// Texts read from the database into fixed in-memory fields, and texts cut to a field's capacity.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace database {

// The text as a field of `capacity` units holds it: at most capacity - 1 units, never cut between
// the halves of a surrogate pair.
QString FitText(const QString& text, size_t capacity);

// A column's text fitted to a field of `capacity` units; a cut is logged as
// "<operation>(): Warning. ..." naming the column and the person.
QString ColumnText(const QString& text, size_t capacity, const char* operation, const char* column, uint32_t personId);

// Copies a column's text into a field of `capacity` units, fitted and logged as ColumnText does.
// False when it was cut.
bool CopyColumnText(char16_t* field, size_t capacity, const QString& text, const char* operation, const char* column,
                    uint32_t personId);

template <size_t N>
bool CopyColumnText(char16_t (&field)[N], const QString& text, const char* operation, const char* column,
                    uint32_t personId) {
    return CopyColumnText(field, N, text, operation, column, personId);
}

}  // namespace database
