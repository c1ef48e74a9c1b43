#pragma once
// Replacing a file so that readers see either the old or the new contents, never a mix.

#include <QByteArray>
#include <QString>

namespace platform {

enum class FileReaders {
    Everyone,   // mode 0644: the autostart entry every desktop session reads
    Operators,  // mode 0640 with the group "ostrovid": the settings store with its passwords
};

// Under an exclusive flock on "<path>.lock": writes the contents to a new "<path>.tmp" with the
// readers' mode, fsyncs it, renames it over the file and fsyncs the folder, which is created
// when missing. A writer killed half-way leaves only the temporary file, which the next write
// replaces. Links at the lock or temporary name are not followed. Returns 0 or the Windows code
// of the failing step.
int WriteFileUnderLock(const QString& path, const QByteArray& contents, FileReaders readers);

}  // namespace platform
