#pragma once
// The diagnostic log: one UTF-16LE text file that every thread appends stamped lines to.
// Each process opens one (the program "Ostrovid.log", the service "OstrovidSvc.log").

#include <QString>

namespace platform {

// Sets the file that WriteLog appends to and the one generation it rotates into. Until it is
// called, lines are dropped.
void SetLogFile(const QString& path, const QString& previousPath);

// Size above which the file is rotated before the next line.
constexpr qint64 kLogRotateSize = 1048510;

}  // namespace platform

// Appends "YYYY-MM-DD hh:mm:ss <text>\r\n" to the log; never reports failure.
void WriteLog(const QString& text);
