#pragma once
// Purpose: the bytes the recognition log holds in each of its encodings: Windows ANSI (the Russian
//          code page Windows-1251, unmapped characters as "?"), UTF-16 little endian, UTF-8.
// Threads: pure functions, any thread.
// Owns: nothing.

#include "app/actions/csv_format.h"

#include <QByteArray>
#include <QStringView>

namespace actions {

// What a new file starts with: FF FE for UTF-16, EF BB BF for UTF-8, nothing for ANSI.
QByteArray CsvByteOrderMark(CsvEncoding encoding);

QByteArray EncodeCsvText(QStringView text, CsvEncoding encoding);

}  // namespace actions
