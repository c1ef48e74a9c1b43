#pragma once
// The diagnostic log: one UTF-16LE text file that every thread appends stamped lines to.
// Each process opens one (the program "Ostrovid.log", the service "OstrovidSvc.log").

#include <QString>

#include <sys/types.h>

namespace platform {

enum class LogReaders {
    Creator,    // a new file gets the usual mode of this process (the program's log)
    Operators,  // the file is kept at mode 0640 with the group "ostrovid" (the service's log)
};

// Sets the file that WriteLog appends to and the one generation it rotates into. Until it is
// called, lines are dropped. The file is opened without following links; a link at its name is
// replaced by a new file where the folder allows it.
void SetLogFile(const QString& path, const QString& previousPath, LogReaders readers = LogReaders::Creator);

// Size above which the file is rotated before the next line.
constexpr qint64 kLogRotateSize = 1048510;

}  // namespace platform

// Appends "YYYY-MM-DD hh:mm:ss <text>\r\n" to the log; never reports failure.
void WriteLog(const QString& text);
