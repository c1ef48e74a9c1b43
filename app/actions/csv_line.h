#pragma once
// Purpose: the text of the recognition log: the header line and one line per recognition, in
//          UTF-16 before any conversion, each ended by a single line feed.
// Threads: pure functions, any thread.
// Owns: nothing.

#include "app/actions/csv_format.h"
#include "app/actions/csv_record.h"

#include <QString>

namespace actions {

QString CsvHeaderLine(CsvDelimiter delimiter);
QString CsvLine(const CsvRecord& record, CsvDelimiter delimiter);

}  // namespace actions
