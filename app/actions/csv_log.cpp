#include "app/actions/csv_log.h"

#include "app/actions/csv_encoding.h"
#include "app/actions/csv_line.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/unique_fd.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace actions {

namespace {

constexpr int kHighestFileNumber = 9;
constexpr off_t kBytesPerMB = 1048576;

struct OpenedLog {
    OpenedLog(int descriptor, off_t length) : fd(descriptor), size(length) {}
    platform::UniqueFd fd;
    off_t size;  // what the file holds, so that a failed append can be taken back
};

QByteArray NativePath(const CsvLogFormat& format, int number) {
    return QFile::encodeName(RecognitionLogFile(format, number));
}

// Opens the file for appending, creating it when missing. Only a regular file is accepted: a
// link at the name is not followed and a FIFO neither blocks the open nor takes lines.
std::unique_ptr<OpenedLog> OpenLogFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) return nullptr;
    auto log = std::make_unique<OpenedLog>(fd, 0);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    log->size = status.st_size;
    return log;
}

// Appends the bytes; one write takes a whole line. When a write fails (a full disk, a size
// limit) the file is cut back to where it ended, so no part of the bytes stays behind.
bool AppendWhole(OpenedLog& log, const QByteArray& bytes) {
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(log.fd.get(), data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            [[maybe_unused]] const int cut = ::ftruncate(log.fd.get(), log.size);
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    log.size += static_cast<off_t>(bytes.size());
    return true;
}

// File n - 1 becomes file n for n from the kept count down to 1; the oldest kept file goes. A
// delete or rename that fails is passed over.
void ShiftFiles(const CsvLogFormat& format) {
    for (int n = format.rotatesNumber; n >= 1; --n) {
        ::unlink(NativePath(format, n).constData());
        ::rename(NativePath(format, n - 1).constData(), NativePath(format, n).constData());
    }
}

// Whether the file was written in the configured encoding, told by its first bytes: the
// encoding's byte-order mark (or the start of it, left by a torn first write); in ANSI, neither
// of the others. An empty file is a new one.
bool InConfiguredEncoding(const OpenedLog& log, CsvEncoding encoding) {
    if (log.size == 0) return true;
    char bytes[3] = {};
    const ssize_t got = ::pread(log.fd.get(), bytes, sizeof bytes, 0);
    if (got <= 0) return false;
    const QByteArray head(bytes, got);
    if (encoding == CsvEncoding::Ansi) {
        return !head.startsWith(CsvByteOrderMark(CsvEncoding::Unicode)) &&
               !head.startsWith(CsvByteOrderMark(CsvEncoding::Utf8));
    }
    const QByteArray bom = CsvByteOrderMark(encoding);
    return head.startsWith(bom) || bom.startsWith(head);
}

// A writer killed inside its write (the kernel may stop a write where it crosses a page) leaves
// the start of a line at the end of the file; it is cut off before the next line goes in. Only
// for a file in the configured encoding: read in another, a whole file looks like one torn line.
// Lines are far shorter than the window looked at; a long tail with no line end is left alone.
// A file with no line end at all holds a torn first write, which is made again, header and all.
void DropTornTail(OpenedLog& log, const CsvLogFormat& format) {
    constexpr off_t kWindow = 8192;
    const bool wide = format.encoding == CsvEncoding::Unicode;
    const off_t unit = wide ? 2 : 1;
    const off_t bom = CsvByteOrderMark(format.encoding).size();
    if (log.size == 0 || log.size == bom) return;
    off_t kept = 0;
    if (log.size > bom) {
        const off_t from = std::max<off_t>(0, log.size - kWindow) / 2 * 2;
        QByteArray tail(static_cast<qsizetype>(log.size - from), '\0');
        if (::pread(log.fd.get(), tail.data(), static_cast<size_t>(tail.size()), from) != tail.size()) return;
        const auto isLineEnd = [&](qsizetype at) { return tail[at] == '\n' && (!wide || tail[at + 1] == '\0'); };
        qsizetype end = (tail.size() - unit) / unit * unit;  // the last whole unit
        if (end + unit == tail.size() && isLineEnd(end)) return;
        while (end >= 0 && !isLineEnd(end)) end -= unit;
        kept = end >= 0 ? from + end + unit : (from == 0 ? 0 : log.size);
    }
    if (kept < log.size && ::ftruncate(log.fd.get(), kept) == 0) log.size = kept;
}

// The current file, open for appending; nothing when it cannot be opened or is in another
// encoding than the configured one, which is left as it is and reported.
std::unique_ptr<OpenedLog> OpenCurrentFile(const CsvLogFormat& format) {
    auto log = OpenLogFile(NativePath(format, 0));
    if (log && !InConfiguredEncoding(*log, format.encoding)) {
        WriteLog(QStringLiteral("Ошибка записи в CSV файл %1: файл записан не в кодировке из настроек, он оставлен "
                                "без изменений.")
                     .arg(RecognitionLogFile(format, 0)));
        return nullptr;
    }
    return log;
}

std::unique_ptr<OpenedLog> OpenRecognitionLog(const CsvLogFormat& format) {
    auto log = OpenCurrentFile(format);
    if (log) DropTornTail(*log, format);
    if (log && log->size > format.sizeLimitMB * kBytesPerMB) {
        log.reset();
        ShiftFiles(format);
        // Not truncated: when the current file could not be renamed away, lines go on being
        // appended to it instead of emptying it.
        log = OpenCurrentFile(format);
    }
    if (log && log->size == 0) {
        QByteArray start = CsvByteOrderMark(format.encoding);
        if (format.header == CsvHeader::On) {
            start += EncodeCsvText(CsvHeaderLine(format.delimiter), format.encoding);
        }
        if (!AppendWhole(*log, start)) return nullptr;
    }
    return log;
}

}  // namespace

QString RecognitionLogFolder(const CsvLogFormat& format) {
    QString folder = format.folder.isEmpty() ? platform::ProgramDataFolder() : format.folder;
    if (folder.endsWith(u'/')) folder.chop(1);
    return folder;
}

QString RecognitionLogFile(const CsvLogFormat& format, int number) {
    return RecognitionLogFolder(format) + QStringLiteral("/Recgnzd%1.txt").arg(number);
}

bool WriteRecognitionLogLine(const CsvLogFormat& format, const CsvRecord& record) {
    const auto log = OpenRecognitionLog(format);
    if (!log) return false;
    const bool written = AppendWhole(*log, EncodeCsvText(CsvLine(record, format.delimiter), format.encoding));
    // Closing can still report a write that did not reach the disk (network folders).
    return log->fd.release() == 0 && written;
}

void RestartRecognitionLog(const CsvLogFormat& format) {
    for (int n = kHighestFileNumber; n > format.rotatesNumber; --n) {
        ::unlink(NativePath(format, n).constData());
    }
    ShiftFiles(format);
    OpenRecognitionLog(format);
}

CsvLogFormat RecognitionLog::CurrentFormat() const {
    return CsvLogFormatFrom(*hub_.Get(&settings::SettingsState::csvFormat));
}

bool RecognitionLog::WriteLine(const CsvRecord& record) {
    const CsvLogFormat format = CurrentFormat();
    platform::CriticalSectionLock lock(lock_);
    return WriteRecognitionLogLine(format, record);
}

void RecognitionLog::Restart() {
    const CsvLogFormat format = CurrentFormat();
    platform::CriticalSectionLock lock(lock_);
    RestartRecognitionLog(format);
}

QString RecognitionLog::CurrentFile() const { return RecognitionLogFile(CurrentFormat(), 0); }

}  // namespace actions
