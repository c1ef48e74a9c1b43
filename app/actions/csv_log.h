#pragma once
// Purpose: the recognition log files: "Recgnzd0.txt" in the log folder is the current file,
//          "Recgnzd1.txt".."Recgnzd9.txt" the rotated ones (higher is older). Each line opens the
//          current file, rotates it first when it has grown past the size limit, and goes to disk in
//          one write, so a process killed between lines never leaves half a line behind. A
//          current file in another encoding than the configured one is never cut nor added to.
// Threads: the action queue thread writes, the settings dialog restarts; the forms without a
//          format copy the CsvFormat group under SettingsLock, then hold the log's own lock for
//          the whole line or restart, so the two never overlap.
// Owns: nothing beyond the file it has open during a call.

#include "app/actions/csv_format.h"
#include "app/actions/csv_record.h"

#include <QString>

namespace actions {

// The folder the files live in: the setting, or the program data folder when it is empty.
QString RecognitionLogFolder(const CsvLogFormat& format);
// File `number` of the log, 0 being the current one.
QString RecognitionLogFile(const CsvLogFormat& format, int number);

// Appends the record's line; false when the current file could not be opened, is in another
// encoding (it is left as it is, and the diagnostic log says so), or the line could not be
// written whole (a failed write takes its part of the line back out of the file).
bool WriteRecognitionLogLine(const CsvLogFormat& format, const CsvRecord& record);

// After a change of folder, encoding, delimiter or header: drops the files beyond the kept count,
// shifts the others so the current file becomes file 1, and starts a new current file.
void RestartRecognitionLog(const CsvLogFormat& format);

// The same, with the process-wide CsvFormat group.
bool WriteRecognitionLogLine(const CsvRecord& record);
void RestartRecognitionLog();
// The current file, for the settings page's "open".
QString CurrentRecognitionLogFile();

}  // namespace actions
