#pragma once
// Replacing a file so that readers see either the old or the new contents, never a mix.

#include <QByteArray>
#include <QString>

namespace platform {

// Under an exclusive flock on "<path>.lock": writes the contents to "<path>.tmp" (mode 0644,
// readable by everyone), fsyncs it, renames it over the file and fsyncs the folder, which is
// created when missing. A writer killed half-way leaves only the temporary file, which the next
// write truncates. Returns 0 or the Windows code of the failing step.
int WriteFileUnderLock(const QString& path, const QByteArray& contents);

}  // namespace platform
