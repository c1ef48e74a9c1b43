// The log's files: rotation by size with the kept count, the restart after a format change, a
// folder that is missing, vanishes or refuses writing, and lines that stay whole when writing
// fails or the writer is killed.

#include "app/actions/csv_action.h"
#include "app/actions/csv_encoding.h"
#include "app/actions/csv_line.h"
#include "app/actions/csv_log.h"
#include "csv_test_support.h"
#include "platform/log.h"
#include "settings/settings_hub.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

namespace {

using actions::CsvDelimiter;
using actions::CsvEncoding;
using actions::CsvHeader;
using csvtest::ReadFile;
using csvtest::WriteFile;

constexpr qsizetype kMiB = 1048576;

class CsvFiles : public ::testing::Test {
protected:
    QString File(int number) const { return actions::RecognitionLogFile(format, number); }
    // BOM, header and one plain line: what a new file holds after its first line.
    QByteArray FreshFile() const {
        return actions::CsvByteOrderMark(format.encoding) +
               actions::EncodeCsvText(actions::CsvHeaderLine(format.delimiter) +
                                          actions::CsvLine(csvtest::PlainRecord(), format.delimiter),
                                      format.encoding);
    }

    // A file of `size` bytes in the format's encoding: its byte-order mark, then `fill`.
    QByteArray Filled(qsizetype size, char fill) const {
        const QByteArray bom = actions::CsvByteOrderMark(format.encoding);
        return bom + QByteArray(size - bom.size(), fill);
    }

    QTemporaryDir dir;
    actions::CsvLogFormat format =
        csvtest::Format(dir.path() + u'/', CsvEncoding::Unicode, CsvDelimiter::Tab, CsvHeader::On);
};

TEST_F(CsvFiles, RotatesOnlyPastTheLimitAndKeepsTheCount) {
    format.sizeLimitMB = 1;
    format.rotatesNumber = 2;
    // Exactly at the limit: appended to.
    ASSERT_TRUE(WriteFile(File(0), Filled(kMiB, 'x')));
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    EXPECT_GT(QFileInfo(File(0)).size(), kMiB);
    EXPECT_FALSE(QFileInfo::exists(File(1)));

    ASSERT_TRUE(WriteFile(File(1), "one"));
    ASSERT_TRUE(WriteFile(File(2), "two"));
    ASSERT_TRUE(WriteFile(File(5), "five"));
    ASSERT_TRUE(WriteFile(File(0), Filled(kMiB + 1, 'x')));
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    EXPECT_EQ(ReadFile(File(0)), FreshFile());
    EXPECT_EQ(ReadFile(File(1)), Filled(kMiB + 1, 'x'));
    EXPECT_EQ(ReadFile(File(2)), "one");
    EXPECT_EQ(ReadFile(File(5)), "five");  // beyond the count: left alone until a restart

    // Generation after generation only the newest two rotated files stay.
    for (char generation = 'a'; generation <= 'd'; ++generation) {
        ASSERT_TRUE(WriteFile(File(0), Filled(kMiB + 1, generation)));
        ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    }
    EXPECT_EQ(ReadFile(File(1)), Filled(kMiB + 1, 'd'));
    EXPECT_EQ(ReadFile(File(2)), Filled(kMiB + 1, 'c'));
    EXPECT_FALSE(QFileInfo::exists(File(3)));
    EXPECT_EQ(ReadFile(File(0)), FreshFile());
}

TEST_F(CsvFiles, RestartShiftsOnceAndStartsAFileInTheNewFormat) {
    format.rotatesNumber = 1;
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    const QByteArray small = ReadFile(File(0));
    for (int n = 1; n <= 9; ++n) ASSERT_TRUE(WriteFile(File(n), QByteArray::number(n)));

    format.delimiter = CsvDelimiter::Comma;
    actions::RestartRecognitionLog(format);
    EXPECT_EQ(ReadFile(File(1)), small);
    for (int n = 2; n <= 9; ++n) EXPECT_FALSE(QFileInfo::exists(File(n))) << n;
    EXPECT_EQ(ReadFile(File(0)),
              QByteArray("\xFF\xFE", 2) +
                  actions::EncodeCsvText(actions::CsvHeaderLine(CsvDelimiter::Comma), CsvEncoding::Unicode));
    EXPECT_TRUE(ReadFile(File(0)).contains(QByteArray("\x2C\x00", 2)));

    // ANSI without a header: the new file is empty.
    format.encoding = CsvEncoding::Ansi;
    format.header = CsvHeader::Off;
    actions::RestartRecognitionLog(format);
    EXPECT_TRUE(QFileInfo::exists(File(0)));
    EXPECT_EQ(QFileInfo(File(0)).size(), 0);
}

// Collects what the CSV action posts to the Actions tab.
class ActionsTab : public shell::JournalSink {
public:
    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override {
        EXPECT_EQ(tab, shell::JournalTab::Actions);
        entries.push_back(std::move(entry));
        return true;
    }
    std::vector<std::unique_ptr<shell::JournalEntry>> entries;
};

TEST_F(CsvFiles, AFolderThatVanishesIsReportedAndUsedAgainWhenBack) {
    const QString folder = dir.path() + QStringLiteral("/log");
    settings::SettingsState state;
    platform::CopyToFixed(state.csvFormat.Folder, folder);
    state.csvFormat.Encode = 1;
    state.csvFormat.UseHeader = 1;
    settings::SettingsHub hub(std::move(state));
    actions::RecognitionLog log(hub);
    EXPECT_EQ(log.CurrentFile(), folder + QStringLiteral("/Recgnzd0.txt"));
    ActionsTab tab;
    shell::Journal journal(&tab);

    EXPECT_FALSE(actions::RunCsvAction(journal, log, 1, csvtest::PlainRecord()));  // never there
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(actions::RunCsvAction(journal, log, 2, csvtest::PlainRecord()));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_FALSE(actions::RunCsvAction(journal, log, 3, csvtest::PlainRecord()));
    EXPECT_FALSE(QFileInfo::exists(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(actions::RunCsvAction(journal, log, 4, csvtest::PlainRecord()));
    EXPECT_EQ(ReadFile(folder + QStringLiteral("/Recgnzd0.txt")), FreshFile());

    ASSERT_EQ(tab.entries.size(), 4u);
    for (size_t i = 0; i < tab.entries.size(); ++i) {
        const shell::JournalEntry& entry = *tab.entries[i];
        const bool written = i % 2 == 1;
        EXPECT_EQ(entry.icon, shell::EntryIcon(written ? shell::ActionIcon::CsvWritten : shell::ActionIcon::Error));
        EXPECT_EQ(entry.eventText, QStringLiteral("Персона распознана"));
        EXPECT_EQ(entry.actionNumber, int32_t(i + 1));
        EXPECT_EQ(entry.actionText, QStringLiteral("Запись в CSV файл"));
        EXPECT_EQ(entry.description, written ? QStringLiteral("Успешно") : QStringLiteral("Ошибка записи"));
    }
}

// The settings sheet publishes a new format while the queue thread writes: each line takes its
// folder, encoding and delimiter from one set, so a folder only ever holds lines of its own format.
TEST_F(CsvFiles, ALineWrittenWhileTheFormatChangesIsWhollyInTheOldOrTheNewFormat) {
    struct Side {
        QString folder;
        int32_t delimiter;
        CsvEncoding encoding;
    };
    const Side sides[] = {
        {dir.path() + QStringLiteral("/comma"), int32_t(CsvDelimiter::Comma), CsvEncoding::Utf8},
        {dir.path() + QStringLiteral("/semicolon"), int32_t(CsvDelimiter::Semicolon), CsvEncoding::Unicode}};
    const auto choose = [](settings::SettingsState& s, const Side& side) {
        platform::CopyToFixed(s.csvFormat.Folder, side.folder);
        s.csvFormat.Delimiter = side.delimiter;
        s.csvFormat.Encode = int32_t(side.encoding);
        s.csvFormat.UseHeader = 0;
        s.csvFormat.SizeLimitMB = 20;  // no rotation takes lines away
    };
    settings::SettingsState first;
    choose(first, sides[0]);
    for (const Side& side : sides) ASSERT_TRUE(QDir().mkpath(side.folder));
    settings::SettingsHub hub(std::move(first));
    actions::RecognitionLog log(hub);

    // The format changes after each line that was written, while the next one is being written.
    constexpr int kChanges = 200;
    std::atomic<int> written{0};
    std::atomic<int> failed{0};
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!done.load()) ++(log.WriteLine(csvtest::PlainRecord()) ? written : failed);
    });
    for (int change = 1; change <= kChanges; ++change) {
        const int before = written.load() + failed.load();
        while (written.load() + failed.load() == before) std::this_thread::yield();
        hub.Update([&](settings::SettingsState& s) { choose(s, sides[change % 2]); });
    }
    done = true;
    writer.join();
    EXPECT_EQ(failed.load(), 0);

    int lines = 0;
    for (const Side& side : sides) {
        const auto delimiter = static_cast<CsvDelimiter>(side.delimiter);
        const QByteArray bom = actions::CsvByteOrderMark(side.encoding);
        const QByteArray line =
            actions::EncodeCsvText(actions::CsvLine(csvtest::PlainRecord(), delimiter), side.encoding);
        const QByteArray bytes = ReadFile(side.folder + QStringLiteral("/Recgnzd0.txt"));
        // Each format had lines of its own while the other was being published.
        ASSERT_TRUE(bytes.startsWith(bom + line)) << side.folder.toStdString();
        ASSERT_EQ((bytes.size() - bom.size()) % line.size(), 0) << side.folder.toStdString();
        for (qsizetype at = bom.size(); at < bytes.size(); at += line.size(), ++lines)
            ASSERT_EQ(bytes.mid(at, line.size()), line) << side.folder.toStdString() << " at " << at;
    }
    EXPECT_EQ(lines, written.load());
}

TEST_F(CsvFiles, NothingButARegularFileTakesLines) {
    // A FIFO neither blocks nor takes the line; a link is not followed.
    ASSERT_EQ(::mkfifo(QFile::encodeName(File(0)).constData(), 0600), 0);
    EXPECT_FALSE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    ASSERT_TRUE(QFile::remove(File(0)));
    const QString target = dir.path() + QStringLiteral("/elsewhere");
    ASSERT_TRUE(WriteFile(target, "keep"));
    ASSERT_TRUE(QFile::link(target, File(0)));
    EXPECT_FALSE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    EXPECT_EQ(ReadFile(target), "keep");
}

// Runs the body in a child process and answers its exit status.
template <typename Body>
int InChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST_F(CsvFiles, AWriteThatFailsHalfWayLeavesNoPartOfItsLine) {
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    const QByteArray before = ReadFile(File(0));
    // A file size limit ten bytes beyond the file lets the next write through only in part.
    const int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = static_cast<rlim_t>(before.size() + 10);
        const rlimit fileSize{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) return 2;
        return actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()) ? 1 : 0;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(File(0)), before);
}

TEST_F(CsvFiles, APartOfALineLeftByAKilledWriterIsCutBeforeTheNextLine) {
    const QByteArray line =
        actions::EncodeCsvText(actions::CsvLine(csvtest::PlainRecord(), format.delimiter), format.encoding);
    // UTF-16: cut inside a code unit (an odd length) and after a whole unit.
    for (const qsizetype part : {qsizetype{7}, qsizetype{8}}) {
        ASSERT_TRUE(WriteFile(File(0), FreshFile() + line.left(part)));
        ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
        EXPECT_EQ(ReadFile(File(0)), FreshFile() + line) << part;
    }
    // A torn first write (mark and header go out together) is written again, header and all.
    ASSERT_TRUE(WriteFile(File(0), actions::CsvByteOrderMark(format.encoding) + FreshFile().mid(2, 9)));
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    EXPECT_EQ(ReadFile(File(0)), FreshFile());
    ASSERT_TRUE(WriteFile(File(0), QByteArray("\xFF", 1)));
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    EXPECT_EQ(ReadFile(File(0)), FreshFile());

    format.encoding = CsvEncoding::Utf8;
    const QByteArray utf8 =
        actions::EncodeCsvText(actions::CsvLine(csvtest::PlainRecord(), format.delimiter), format.encoding);
    ASSERT_TRUE(WriteFile(File(0), FreshFile() + utf8.left(5)));
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
    EXPECT_EQ(ReadFile(File(0)), FreshFile() + utf8 + utf8);
}

// A current file in another encoding than the configured one (a line racing a format change, a
// format that could not be stored, a restart whose rename failed) takes no line and loses none.
TEST_F(CsvFiles, AFileInAnotherEncodingIsLeftAsItIs) {
    const auto manyLines = [&](CsvEncoding encoding) {
        format.encoding = encoding;
        QByteArray bytes = FreshFile();
        const QByteArray line =
            actions::EncodeCsvText(actions::CsvLine(csvtest::PlainRecord(), format.delimiter), encoding);
        for (int n = 0; n < 40; ++n) bytes += line;
        return bytes;
    };
    const QString logPath = dir.filePath(QStringLiteral("Ostrovid.log"));
    platform::SetLogFile(logPath, dir.filePath(QStringLiteral("Ostrovid1.log")));
    const CsvEncoding encodings[] = {CsvEncoding::Ansi, CsvEncoding::Unicode, CsvEncoding::Utf8};
    for (const CsvEncoding written : encodings) {
        for (const CsvEncoding configured : encodings) {
            if (written == configured) continue;
            const QByteArray before = manyLines(written);
            // Torn at its end as well: not even that part is cut from a file read the wrong way.
            ASSERT_TRUE(WriteFile(File(0), before + before.mid(before.size() - 9, 5)));
            format.encoding = configured;
            EXPECT_FALSE(actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()));
            EXPECT_EQ(ReadFile(File(0)), before + before.mid(before.size() - 9, 5))
                << int(written) << " read as " << int(configured);
        }
    }

    // A restart that cannot move the current file away leaves it whole too.
    format.rotatesNumber = 1;
    const QByteArray before = manyLines(CsvEncoding::Unicode);
    ASSERT_TRUE(WriteFile(File(0), before));
    ASSERT_TRUE(QDir().mkpath(File(1) + QStringLiteral("/taken")));
    format.encoding = CsvEncoding::Utf8;
    actions::RestartRecognitionLog(format);
    EXPECT_EQ(ReadFile(File(0)), before);

    // Each refusal is in the diagnostic log, naming the file.
    platform::SetLogFile(QString(), QString());
    const QStringList logged = testsupport::LogLines(logPath);
    EXPECT_EQ(logged.size(), 7);
    for (const QString& line : logged) EXPECT_TRUE(line.contains(File(0))) << line.toStdString();
}

TEST_F(CsvFiles, AnUnwritableFolderFailsTheWrite) {
    const QString folder = dir.path() + QStringLiteral("/readonly");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    format.folder = folder;
    const int status = InChild([&] {
        // Root writes anywhere: the child gives its rights up first.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 2;
        return actions::WriteRecognitionLogLine(format, csvtest::PlainRecord()) ? 1 : 0;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(QFileInfo::exists(File(0)));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
}

TEST_F(CsvFiles, AWriterKilledBetweenLinesLeavesOnlyWholeLines) {
    format.encoding = CsvEncoding::Utf8;
    format.sizeLimitMB = 1;
    format.rotatesNumber = 9;
    const actions::CsvRecord record = csvtest::PlainRecord();
    const QByteArray line = actions::EncodeCsvText(actions::CsvLine(record, format.delimiter), format.encoding);
    const QByteArray start = actions::CsvByteOrderMark(format.encoding) +
                             actions::EncodeCsvText(actions::CsvHeaderLine(format.delimiter), format.encoding);
    for (int round = 0; round < 20; ++round) {
        const pid_t writer = ::fork();
        if (writer == 0) {
            for (;;) actions::WriteRecognitionLogLine(format, record);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + round * 7 % 30));
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    // A kill inside a write may cut the line being written; the next line written cuts that part off.
    ASSERT_TRUE(actions::WriteRecognitionLogLine(format, record));
    int files = 0;
    for (int n = 0; n <= 9; ++n) {
        if (!QFileInfo::exists(File(n))) continue;
        ++files;
        const QByteArray bytes = ReadFile(File(n));
        ASSERT_TRUE(bytes.startsWith(start)) << n;
        const qsizetype body = bytes.size() - start.size();
        ASSERT_EQ(body % line.size(), 0) << "file " << n << " holds part of a line";
        for (qsizetype at = start.size(); at < bytes.size(); at += line.size()) {
            ASSERT_EQ(bytes.mid(at, line.size()), line) << "file " << n << " at " << at;
        }
    }
    EXPECT_GE(files, 1);
}

}  // namespace
