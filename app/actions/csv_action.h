#pragma once
// Purpose: the CSV action of the queue: writes the recognition's line and tells the Actions tab of
//          the event journal how it went. A missing or unwritable folder is reported there and the
//          queue goes on; the next recognition tries again.
// Threads: the action queue thread.
// Owns: nothing; the record and the log stay the caller's.

#include "app/actions/csv_log.h"
#include "app/actions/csv_record.h"
#include "app/shell/journal.h"

#include <cstdint>

namespace actions {

// Writes the line to the log; returns whether it was written.
bool RunCsvAction(const shell::Journal& journal, RecognitionLog& log, uint32_t actionNumber, const CsvRecord& record);

}  // namespace actions
