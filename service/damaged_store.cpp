#include "service/damaged_store.h"

#include "platform/log.h"
#include "platform/operator_group.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace service {

namespace {

// The whole regular file at the path, never through a link; nothing when it cannot be read.
std::optional<QByteArray> ReadRegularFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    QByteArray contents;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    char chunk[65536];
    while (ok) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        contents.append(chunk, got);
    }
    ::close(fd);
    return ok ? std::optional<QByteArray>(contents) : std::nullopt;
}

bool WriteNewFile(const QString& path, const QByteArray& contents) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640);
    if (fd < 0) return false;
    // It holds the store's passwords: the same readers as the store.
    bool ok = platform::GiveToOperators(fd, 0640) != platform::GroupOutcome::Failed;
    const char* cursor = contents.constData();
    qsizetype left = contents.size();
    while (ok && left > 0) {
        const ssize_t written = ::write(fd, cursor, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) continue;
        ok = written > 0;
        if (ok) {
            cursor += written;
            left -= written;
        }
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) ::unlink(name.constData());
    return ok;
}

// An earlier copy with exactly these contents, or empty.
QString EarlierCopy(const QFileInfo& store, const QByteArray& contents) {
    const QDir folder = store.absoluteDir();
    const QStringList copies =
        folder.entryList({store.fileName() + QStringLiteral(".damaged-*")}, QDir::Files | QDir::System, QDir::Name);
    for (const QString& copy : copies) {
        const QString path = folder.filePath(copy);
        if (QFileInfo(path).size() == contents.size() && ReadRegularFile(path) == contents) return path;
    }
    return {};
}

void LogNotKept(const QString& storePath, int damagedLine) {
    WriteLog(QStringLiteral("Settings store %1 is damaged at line %2 and cannot be copied aside; nothing is written "
                            "to it until it loads whole.")
                 .arg(storePath)
                 .arg(damagedLine));
}

}  // namespace

void KeepDamagedStoreAside(const QString& storePath, int damagedLine) {
    const QFileInfo store(storePath);
    const std::optional<QByteArray> contents = ReadRegularFile(storePath);
    if (!contents) {
        LogNotKept(storePath, damagedLine);
        return;
    }
    if (const QString earlier = EarlierCopy(store, *contents); !earlier.isEmpty()) {
        WriteLog(QStringLiteral("Settings store %1 is still damaged at line %2 (kept aside as %3); nothing is "
                                "written to it until it loads whole.")
                     .arg(storePath)
                     .arg(damagedLine)
                     .arg(earlier));
        return;
    }
    const QString base = storePath + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd'T'HHmmss"));
    QString copy = base;
    // Two different damages within one second get numbered names.
    for (int n = 2; !WriteNewFile(copy, *contents); ++n) {
        if (errno != EEXIST || n > 99) {
            LogNotKept(storePath, damagedLine);
            return;
        }
        copy = base + QStringLiteral("-%1").arg(n);
    }
    WriteLog(QStringLiteral("Settings store %1 does not load whole (damaged at line %2); kept aside as %3. Nothing "
                            "is written to it until it loads whole again.")
                 .arg(storePath)
                 .arg(damagedLine)
                 .arg(copy));
}

}  // namespace service
