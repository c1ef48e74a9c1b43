#pragma once
// Purpose: the recognition log files: "Recgnzd0.txt" in the log folder is the current file,
//          "Recgnzd1.txt".."Recgnzd9.txt" the rotated ones (higher is older). Each line opens the
//          current file, rotates it first when it has grown past the size limit, and goes to disk in
//          one write, so a process killed between lines never leaves half a line behind. A
//          current file in another encoding than the configured one is never cut nor added to.
// Threads: the functions with a format run on the caller's thread with no lock of their own;
//          RecognitionLog is called from the action queue thread (lines) and the user-interface
//          thread (restarts) at once.
// Owns: nothing beyond the file it has open during a call; RecognitionLog owns the lock that keeps
//       its lines and restarts apart.

#include "app/actions/csv_format.h"
#include "app/actions/csv_record.h"
#include "platform/sync.h"
#include "settings/settings_hub.h"

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

// The program's recognition log: each line and each restart takes the CsvFormat group of one
// settings snapshot, before the log's lock, so that neither ever waits for a slow disk with a
// settings change waiting behind it. The two never overlap; a line that meets the file of a
// format changed meanwhile is refused rather than mixed into it (the file's start tells). The hub
// must outlive the log.
class RecognitionLog {
public:
    explicit RecognitionLog(const settings::SettingsHub& hub) : hub_(hub) {}
    RecognitionLog(const RecognitionLog&) = delete;
    RecognitionLog& operator=(const RecognitionLog&) = delete;

    bool WriteLine(const CsvRecord& record);
    // After the settings with the new format were published.
    void Restart();
    // The current file, for the settings page's "open".
    QString CurrentFile() const;

private:
    CsvLogFormat CurrentFormat() const;

    const settings::SettingsHub& hub_;
    platform::CriticalSection lock_;
};

}  // namespace actions
