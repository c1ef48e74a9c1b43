#include "platform/locked_file_write.h"

#include "platform/log.h"
#include "platform/operator_group.h"
#include "platform/syserror.h"
#include "platform/unique_fd.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace platform {
namespace {

mode_t ModeFor(FileReaders readers) { return readers == FileReaders::Everyone ? 0644 : 0640; }

int LastError() { return ErrorCodeFromErrno(errno); }

int WriteAll(int fd, const QByteArray& contents) {
    const char* data = contents.constData();
    qsizetype left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) continue;
            return LastError();
        }
        data += written;
        left -= written;
    }
    return kErrorSuccess;
}

// Gives the file its readers past the umask. A group that does not exist is said in the log, and
// the file stays with its owner's group; a writer outside the group keeps its own file.
int GiveReaders(int fd, FileReaders readers, const QByteArray& path) {
    if (readers == FileReaders::Everyone) return ::fchmod(fd, ModeFor(readers)) == 0 ? kErrorSuccess : LastError();
    switch (GiveToOperators(fd, ModeFor(readers))) {
    case GroupOutcome::Failed:
        return LastError();
    case GroupOutcome::GroupMissing:
        WriteLog(QStringLiteral("Group '%1' does not exist; %2 is readable by its owner only.")
                     .arg(QLatin1String(kOperatorGroupName), QFile::decodeName(path)));
        break;
    case GroupOutcome::Given:
    case GroupOutcome::NotPermitted:
        break;
    }
    return kErrorSuccess;
}

int WriteTemporary(const QByteArray& tempPath, const QByteArray& contents, FileReaders readers,
                   const QByteArray& target) {
    // Made anew, so that whatever a writer killed half-way left there (or anyone planted) is not reused.
    if (::unlink(tempPath.constData()) != 0 && errno != ENOENT) return LastError();
    UniqueFd file(::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, ModeFor(readers)));
    if (file.get() < 0) return LastError();
    if (const int rc = GiveReaders(file.get(), readers, target); rc != kErrorSuccess) return rc;
    if (const int rc = WriteAll(file.get(), contents); rc != kErrorSuccess) return rc;
    if (::fsync(file.get()) != 0) return LastError();
    if (file.release() != 0) return LastError();
    return kErrorSuccess;
}

int SyncFolder(const QByteArray& folder) {
    UniqueFd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0) return LastError();
    return kErrorSuccess;
}

}  // namespace

int WriteFileUnderLock(const QString& path, const QByteArray& contents, FileReaders readers) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) return kErrorPathNotFound;

    const QByteArray target = QFile::encodeName(path);
    UniqueFd lock(::open((target + ".lock").constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, ModeFor(readers)));
    if (lock.get() < 0) return LastError();
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return LastError();
    }

    const QByteArray tempPath = target + ".tmp";
    if (const int rc = WriteTemporary(tempPath, contents, readers, target); rc != kErrorSuccess) {
        ::unlink(tempPath.constData());
        return rc;
    }
    if (::rename(tempPath.constData(), target.constData()) != 0) {
        const int rc = LastError();
        ::unlink(tempPath.constData());
        return rc;
    }
    return SyncFolder(QFile::encodeName(folder));
}

}  // namespace platform
