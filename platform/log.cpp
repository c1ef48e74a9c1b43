#include "platform/log.h"

#include "platform/operator_group.h"
#include "platform/sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QByteArray>
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>

namespace platform {

namespace {

constexpr mode_t kOperatorsLogMode = 0640;

struct LogState {
    CriticalSection lock;
    QByteArray path;
    QByteArray previousPath;
    LogReaders readers = LogReaders::Creator;
    std::optional<gid_t> operators;
};

// Never destroyed, so that threads still logging during process exit find it intact.
LogState& State() {
    static LogState* state = new LogState;
    return *state;
}

void AppendUtf16Le(QByteArray& out, QStringView text) {
    const qsizetype start = out.size();
    out.resize(start + text.size() * 2);
    char* cursor = out.data() + start;
    for (QChar unit : text) {
        qToLittleEndian<quint16>(unit.unicode(), cursor);
        cursor += 2;
    }
}

QString TimeStamp() {
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return QString::fromLatin1(stamp);
}

// Writes all bytes, repeating partial writes; a failed write drops the rest silently.
void WriteAll(int fd, const QByteArray& bytes) {
    const char* cursor = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = write(fd, cursor, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        cursor += written;
        left -= written;
    }
}

int OpenOnce(const QByteArray& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = open(path.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens the log without following a link: a link planted at its name is removed and the file
// created anew (where the folder lets this process remove it; elsewhere the line is lost).
// Anything but a regular file is not written to.
int OpenLog(const LogState& state, const QByteArray& path, int extraFlags) {
    const mode_t mode = state.readers == LogReaders::Operators ? kOperatorsLogMode : 0666;
    int fd = OpenOnce(path, extraFlags, mode);
    if (fd < 0 && errno == ELOOP && unlink(path.constData()) == 0) fd = OpenOnce(path, extraFlags | O_EXCL, mode);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    if (state.readers == LogReaders::Operators) {
        if (state.operators && info.st_gid != *state.operators)
            (void)fchown(fd, static_cast<uid_t>(-1), *state.operators);
        if ((info.st_mode & 07777) != kOperatorsLogMode) (void)fchmod(fd, kOperatorsLogMode);
    }
    return fd;
}

qint64 FileSize(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 ? static_cast<qint64>(info.st_size) : -1;
}

}  // namespace

void SetLogFile(const QString& path, const QString& previousPath, LogReaders readers) {
    // Looked up once: the group database is not read again for every line.
    const std::optional<gid_t> operators = readers == LogReaders::Operators ? OperatorGroupId() : std::nullopt;
    LogState& state = State();
    CriticalSectionLock hold(state.lock);
    state.path = QFile::encodeName(path);
    state.previousPath = QFile::encodeName(previousPath);
    state.readers = readers;
    state.operators = operators;
}

}  // namespace platform

void WriteLog(const QString& text) {
    using namespace platform;
    LogState& state = State();
    CriticalSectionLock hold(state.lock);
    if (state.path.isEmpty()) return;

    int fd = OpenLog(state, state.path, 0);
    if (fd < 0) return;
    qint64 size = FileSize(fd);
    if (size > kLogRotateSize) {
        close(fd);
        // Neither call follows a link planted at either name.
        unlink(state.previousPath.constData());
        rename(state.path.constData(), state.previousPath.constData());
        // A file still there after a failed rename is started afresh.
        fd = OpenLog(state, state.path, O_TRUNC);
        if (fd < 0) return;
        size = 0;
    }

    // One append of the whole line, so that lines of another process sharing the file stay whole.
    QByteArray line;
    line.reserve((text.size() + 24) * 2);
    if (size == 0) line.append("\xFF\xFE", 2);
    AppendUtf16Le(line, TimeStamp());
    AppendUtf16Le(line, text);
    AppendUtf16Le(line, u"\r\n");
    WriteAll(fd, line);
    close(fd);
}
