#include "platform/log.h"
#include "platform/operator_group.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <thread>
#include <vector>

namespace {

QByteArray Utf16Le(const QString& text) {
    QByteArray bytes;
    for (QChar unit : text) {
        bytes.append(static_cast<char>(unit.unicode() & 0xFF));
        bytes.append(static_cast<char>(unit.unicode() >> 8));
    }
    return bytes;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

constexpr int kStampBytes = 20 * 2;  // "YYYY-MM-DD hh:mm:ss " in UTF-16

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        logPath_ = dir_.filePath("Ostrovid.log");
        previousPath_ = dir_.filePath("Ostrovid1.log");
        platform::SetLogFile(logPath_, previousPath_);
    }
    void TearDown() override { platform::SetLogFile(QString(), QString()); }

    // The log's content after the byte-order mark, decoded.
    QString LogText() const {
        const QByteArray bytes = ReadAll(logPath_);
        if (bytes.size() < 2 || bytes.size() % 2 != 0) return {};
        return QString(reinterpret_cast<const QChar*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    }

    QTemporaryDir dir_;
    QString logPath_;
    QString previousPath_;
};

TEST_F(LogTest, FirstLineCreatesFileWithBomStampTextAndCrLf) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    WriteLog("Vektra Ostrovid v.2.2.0 loading...");
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QByteArray bytes = ReadAll(logPath_);
    ASSERT_GE(bytes.size(), 2 + kStampBytes);
    EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
    EXPECT_EQ(bytes.mid(2 + kStampBytes), Utf16Le("Vektra Ostrovid v.2.2.0 loading...\r\n"));

    const QString stamp(reinterpret_cast<const QChar*>(bytes.constData() + 2), kStampBytes / 2);
    ASSERT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d $").match(stamp).hasMatch())
        << stamp.toStdString();
    const QDateTime stamped = QDateTime::fromString(stamp.trimmed(), "yyyy-MM-dd HH:mm:ss");
    EXPECT_GE(stamped, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamped, after);
}

TEST_F(LogTest, LaterLinesAppendWithoutAnotherBom) {
    WriteLog("one");
    WriteLog("two");
    const QByteArray bytes = ReadAll(logPath_);
    EXPECT_EQ(bytes.size(), 2 + 2 * kStampBytes + Utf16Le("one\r\ntwo\r\n").size());
    EXPECT_EQ(bytes.count(QByteArray("\xFF\xFE", 2)), 1);
    EXPECT_TRUE(LogText().endsWith(" two\r\n"));
}

TEST_F(LogTest, CyrillicTextIsStoredAsUtf16Le) {
    WriteLog(QString::fromUtf8("Ошибка ёЁ"));
    const QByteArray expected(
        "\x1E\x04\x48\x04\x38\x04\x31\x04\x3A\x04\x30\x04\x20\x00\x51\x04\x01\x04\x0D\x00\x0A\x00", 22);
    EXPECT_EQ(ReadAll(logPath_).mid(2 + kStampBytes), expected);
}

TEST_F(LogTest, EmbeddedLineBreaksAreWrittenUnchangedThenOneCrLf) {
    WriteLog("Vektra Ostrovid v.2.2.0 completed.\n\r\n\r");
    EXPECT_EQ(ReadAll(logPath_).mid(2 + kStampBytes), Utf16Le("Vektra Ostrovid v.2.2.0 completed.\n\r\n\r\r\n"));
}

TEST_F(LogTest, FileOfExactlyTheLimitIsStillAppendedTo) {
    const QByteArray full(platform::kLogRotateSize, 'x');
    WriteFile(logPath_, full);
    WriteLog("still here");

    const QByteArray bytes = ReadAll(logPath_);
    EXPECT_TRUE(bytes.startsWith(full));
    EXPECT_EQ(bytes.mid(full.size() + kStampBytes), Utf16Le("still here\r\n"));
    EXPECT_FALSE(QFile::exists(previousPath_));

    // Now beyond the limit: the next line rotates.
    WriteLog("fresh");
    EXPECT_EQ(ReadAll(previousPath_), bytes);
    EXPECT_TRUE(LogText().endsWith(" fresh\r\n"));
}

TEST_F(LogTest, LargerFileIsRotatedReplacingThePreviousGeneration) {
    const QByteArray tooBig(platform::kLogRotateSize + 1, 'y');
    WriteFile(logPath_, tooBig);
    WriteFile(previousPath_, "older generation");
    WriteLog("trigger");

    EXPECT_EQ(ReadAll(previousPath_), tooBig);
    const QByteArray bytes = ReadAll(logPath_);
    EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
    EXPECT_EQ(bytes.size(), 2 + kStampBytes + Utf16Le("trigger\r\n").size());
    EXPECT_TRUE(LogText().endsWith(" trigger\r\n"));
}

TEST_F(LogTest, FailedRenameStillStartsAnEmptyLog) {
    // A non-empty folder in the previous log's place can be neither deleted nor replaced.
    ASSERT_TRUE(QDir(dir_.path()).mkpath("Ostrovid1.log/keep"));
    WriteFile(logPath_, QByteArray(platform::kLogRotateSize + 1, 'z'));
    WriteLog("after failed rename");

    const QByteArray bytes = ReadAll(logPath_);
    EXPECT_EQ(bytes.size(), 2 + kStampBytes + Utf16Le("after failed rename\r\n").size());
    EXPECT_TRUE(LogText().endsWith(" after failed rename\r\n"));
}

TEST_F(LogTest, UnwritableFolderDropsLinesSilently) {
    // A regular file as the folder makes open() fail even for root.
    const QString blocker = dir_.filePath("blocker");
    WriteFile(blocker, "plain file");
    platform::SetLogFile(blocker + "/Ostrovid.log", blocker + "/Ostrovid1.log");
    WriteLog("lost");
    WriteLog("lost too");
    EXPECT_EQ(ReadAll(blocker), QByteArray("plain file"));

    platform::SetLogFile(logPath_, previousPath_);
    WriteLog("back");
    EXPECT_TRUE(LogText().endsWith(" back\r\n"));
}

TEST_F(LogTest, LinesOfConcurrentThreadsNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                WriteLog(QStringLiteral("thread %1 line %2 %3").arg(t).arg(i).arg(QString(20 + t, QChar(u'а' + t))));
            }
        });
    }
    for (std::thread& writer : writers) writer.join();

    const QString text = LogText();
    ASSERT_TRUE(text.endsWith("\r\n"));
    const QStringList lines = text.chopped(2).split("\r\n");
    ASSERT_EQ(lines.size(), kThreads * kLines);
    const QRegularExpression pattern("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d thread (\\d) line (\\d+) (\\S+)$");
    std::map<int, int> nextLine;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = pattern.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        const int t = match.captured(1).toInt();
        EXPECT_EQ(match.captured(2).toInt(), nextLine[t]++) << "lines of one thread out of order";
        EXPECT_EQ(match.captured(3), QString(20 + t, QChar(u'а' + t)));
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(nextLine[t], kLines);
}

// A root process writes its log where a link may have been planted: the link is replaced by the
// log, and neither the log's name nor the rotation's name leads a write anywhere else.
TEST_F(LogTest, LinksPlantedAtTheLogOrTheRotationNameAreNotFollowed) {
    const QString victim = dir_.filePath("victim");
    WriteFile(victim, "precious");
    ASSERT_TRUE(QFile::link(victim, logPath_));
    WriteLog("first");
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_FALSE(QFileInfo(logPath_).isSymLink());
    EXPECT_TRUE(LogText().endsWith(" first\r\n"));

    WriteFile(logPath_, QByteArray(platform::kLogRotateSize + 1, 'r'));
    ASSERT_TRUE(QFile::link(victim, previousPath_));
    WriteLog("rotated");
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_FALSE(QFileInfo(previousPath_).isSymLink());
    EXPECT_EQ(ReadAll(previousPath_).size(), platform::kLogRotateSize + 1);
    EXPECT_TRUE(LogText().endsWith(" rotated\r\n"));

    // A folder in the log's place is not written to and stays as it was.
    QFile::remove(logPath_);
    ASSERT_TRUE(QDir(dir_.path()).mkpath("Ostrovid.log"));
    WriteLog("lost");
    EXPECT_TRUE(QFileInfo(logPath_).isDir());
}

TEST_F(LogTest, AnOperatorsLogIsReadableByTheGroupOnly) {
    WriteFile(logPath_, "");
    ::chmod(QFile::encodeName(logPath_).constData(), 0666);
    platform::SetLogFile(logPath_, previousPath_, platform::LogReaders::Operators);
    WriteLog("service line");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(logPath_).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    const std::optional<gid_t> operators = platform::OperatorGroupId();
    if (geteuid() == 0 && operators) {
        EXPECT_EQ(info.st_gid, *operators);
    }

    // Rotated, the new file gets the same readers.
    WriteFile(logPath_, QByteArray(platform::kLogRotateSize + 1, 'o'));
    WriteLog("after rotation");
    ASSERT_EQ(::stat(QFile::encodeName(logPath_).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (geteuid() == 0 && operators) {
        EXPECT_EQ(info.st_gid, *operators);
    }
    EXPECT_TRUE(LogText().endsWith(" after rotation\r\n"));
}

}  // namespace
