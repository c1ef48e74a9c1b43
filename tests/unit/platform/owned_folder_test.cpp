// The folders a root process keeps for itself and the operators: made with their mode, corrected
// when widened, never followed when a link stands in their place.

#include "platform/owned_folder.h"
#include "platform/operator_group.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct stat StatOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

class OwnedFolder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder = dir.filePath(QStringLiteral("data"));
};

TEST_F(OwnedFolder, AMissingFolderIsMadeWithItsModeAndTheOperatorsGroup) {
    const platform::FolderReport report = platform::PrepareOwnedFolder(folder, 02770, platform::FolderGroup::Operators);
    ASSERT_EQ(report.error, 0) << report.notes.join('\n').toStdString();
    const struct stat info = StatOf(folder);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, ::geteuid());
    const std::optional<gid_t> operators = platform::OperatorGroupId();
    if (::geteuid() == 0 && operators) {
        EXPECT_EQ(info.st_mode & 07777, 02770u);
        EXPECT_EQ(info.st_gid, *operators);
        EXPECT_TRUE(report.notes.isEmpty()) << report.notes.join('\n').toStdString();
    } else {
        // Outside the group the kernel drops the set-group-id bit, and a note says so.
        EXPECT_EQ(info.st_mode & 0777, 0770u);
    }
}

TEST_F(OwnedFolder, AWidenedFolderIsNarrowedAndSaysWhatItWas) {
    ASSERT_TRUE(QDir().mkpath(folder));
    ::chmod(QFile::encodeName(folder).constData(), 01777);
    const platform::FolderReport report = platform::PrepareOwnedFolder(folder, 0750, platform::FolderGroup::Own);
    ASSERT_EQ(report.error, 0);
    EXPECT_EQ(StatOf(folder).st_mode & 07777, 0750u);
    ASSERT_EQ(report.notes.size(), 1);
    EXPECT_TRUE(report.notes[0].contains(QStringLiteral(" 1777, now "))) << report.notes[0].toStdString();
}

TEST_F(OwnedFolder, ALinkOrAFileInItsPlaceIsRefusedAndLeftAlone) {
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(QDir().mkpath(target));
    ::chmod(QFile::encodeName(target).constData(), 0700);
    ASSERT_TRUE(QFile::link(target, folder));
    platform::FolderReport report = platform::PrepareOwnedFolder(folder, 02770, platform::FolderGroup::Operators);
    EXPECT_EQ(report.error, 5);
    EXPECT_EQ(report.folder, folder);
    EXPECT_TRUE(S_ISLNK(StatOf(folder).st_mode));
    EXPECT_EQ(StatOf(target).st_mode & 07777, 0700u);

    const QString file = dir.filePath(QStringLiteral("file"));
    QFile plain(file);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    report = platform::PrepareOwnedFolder(file, 0750, platform::FolderGroup::Own);
    EXPECT_EQ(report.error, 3);
    EXPECT_TRUE(S_ISREG(StatOf(file).st_mode));

    // A parent that does not exist is not made: the folders above belong to the system.
    EXPECT_EQ(
        platform::PrepareOwnedFolder(dir.filePath(QStringLiteral("no/such")), 0750, platform::FolderGroup::Own).error,
        2);
}

TEST_F(OwnedFolder, RootTakesOverAFolderOfAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder away";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    const platform::FolderReport report = platform::PrepareOwnedFolder(folder, 0750, platform::FolderGroup::Own);
    ASSERT_EQ(report.error, 0);
    EXPECT_EQ(StatOf(folder).st_uid, 0u);
    EXPECT_EQ(StatOf(folder).st_mode & 07777, 0750u);
}

}  // namespace
