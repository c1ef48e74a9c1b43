#include "platform/locked_file_write.h"

#include "platform/syserror.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr mode_t kReadableByEveryone = 0644;

class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int get() const { return fd_; }
    // Closes now so that a failing close (delayed write error) is seen.
    int release() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

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

int WriteTemporary(const QByteArray& tempPath, const QByteArray& contents) {
    FdCloser file(::open(tempPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kReadableByEveryone));
    if (file.get() < 0) return LastError();
    // The umask must not make the store unreadable for the unprivileged program.
    if (::fchmod(file.get(), kReadableByEveryone) != 0) return LastError();
    if (const int rc = WriteAll(file.get(), contents); rc != kErrorSuccess) return rc;
    if (::fsync(file.get()) != 0) return LastError();
    if (file.release() != 0) return LastError();
    return kErrorSuccess;
}

int SyncFolder(const QByteArray& folder) {
    FdCloser dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0) return LastError();
    return kErrorSuccess;
}

}  // namespace

int WriteFileUnderLock(const QString& path, const QByteArray& contents) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) return kErrorPathNotFound;

    const QByteArray target = QFile::encodeName(path);
    FdCloser lock(::open((target + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, kReadableByEveryone));
    if (lock.get() < 0) return LastError();
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return LastError();
    }

    const QByteArray tempPath = target + ".tmp";
    if (const int rc = WriteTemporary(tempPath, contents); rc != kErrorSuccess) {
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
