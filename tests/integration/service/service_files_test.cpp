// The service's own files as an unprivileged local user would attack them: owners and modes of
// the log, the data folder and the store; links planted in their place; a damaged store.

#include "platform/operator_group.h"
#include "platform/registry.h"
#include "settings/channel_saves.h"
#include "settings/registry_names.h"
#include "tests/integration/service/service_fixture.h"

#include <QDir>
#include <QRegularExpression>

#include <grp.h>

#include <ostream>

using namespace settings;
namespace rn = settings::regnames;

namespace {

struct Owner {
    uid_t uid;
    gid_t gid;
    mode_t mode;
    bool operator==(const Owner&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Owner& owner) {
    return out << owner.uid << ":" << owner.gid << " " << std::oct << owner.mode << std::dec;
}

Owner OwnerOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return {info.st_uid, info.st_gid, static_cast<mode_t>(info.st_mode & 07777)};
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class ServiceFiles : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (geteuid() != 0) GTEST_SKIP() << "owners and groups are given by root";
        const std::optional<gid_t> group = platform::OperatorGroupId();
        if (!group) GTEST_SKIP() << "the group ostrovid cannot be made here";
        operators = *group;
    }

    QStringList DamagedCopies() const {
        return QDir(dir.filePath("store")).entryList({QStringLiteral("registry.reg.damaged-*")}, QDir::Files);
    }

    gid_t operators = 0;
};

TEST_F(ServiceFiles, LogDataFolderAndStoreBelongToRootAndTheOperators) {
    // Left by an older installation: a data folder everyone could write, a store everyone could read.
    QDir().mkpath(dir.filePath("data/Vektra/Ostrovid"));
    ::chmod(Path("data/Vektra/Ostrovid").c_str(), 01777);
    ::chmod(Path("store").c_str(), 0755);
    StartService();
    Attach();
    ASSERT_TRUE(SaveMaximized(1));

    EXPECT_EQ(OwnerOf(Path("svclog")), (Owner{0, operators, 02750}));
    EXPECT_EQ(OwnerOf(ServiceLogPath().toStdString()), (Owner{0, operators, 0640}));
    EXPECT_EQ(OwnerOf(Path("data/Vektra/Ostrovid")), (Owner{0, operators, 02770}));
    EXPECT_EQ(OwnerOf(Path("data/Vektra")).mode, 0755u);
    EXPECT_EQ(OwnerOf(Path("store")), (Owner{0, operators, 0750}));
    EXPECT_EQ(OwnerOf(Path("store/registry.reg")), (Owner{0, operators, 0640}));
    EXPECT_TRUE(ServiceLog().contains(QStringLiteral("Folder '%1' was 0:0 1777, now 0:%2 2770.")
                                          .arg(dir.filePath("data/Vektra/Ostrovid"))
                                          .arg(operators)));
}

TEST_F(ServiceFiles, LinksPlantedAtTheLogAndDataFolderAreNotFollowed) {
    // A link at the log's name: the service logs into a new file of its own, the target is untouched.
    QDir().mkpath(dir.filePath("svclog"));
    const QString target = dir.filePath("victim");
    WriteAll(target, "precious\n");
    ::chmod(target.toLocal8Bit().constData(), 0644);
    ASSERT_EQ(::symlink(target.toLocal8Bit().constData(), ServiceLogPath().toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink(target.toLocal8Bit().constData(), Path("svclog/OstrovidSvc1.log").c_str()), 0);
    // A link in place of the data folder: refused, the service stops.
    QDir().mkpath(dir.filePath("elsewhere"));
    QDir().mkpath(dir.filePath("data/Vektra"));
    ASSERT_EQ(::symlink(Path("elsewhere").c_str(), Path("data/Vektra/Ostrovid").c_str()), 0);

    StartService();
    const int status = service.Wait(10000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadAll(target), "precious\n");
    EXPECT_EQ(OwnerOf(target.toStdString()).mode, 0644u);
    struct stat log {};
    ASSERT_EQ(::lstat(ServiceLogPath().toLocal8Bit().constData(), &log), 0);
    EXPECT_TRUE(S_ISREG(log.st_mode));
    const QStringList lines = ServiceLog();
    EXPECT_EQ(lines.value(0), "Starting...");
    EXPECT_TRUE(lines.contains(QStringLiteral("Folder '%1' is a symbolic link; it is not followed. Replace it by a "
                                              "real folder (or a bind mount).")
                                   .arg(dir.filePath("data/Vektra/Ostrovid"))));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("Creation folder '%1' error: Отказано в доступе. (5). Service will be stoped.")
                           .arg(dir.filePath("data/Vektra/Ostrovid"))));
    EXPECT_EQ(lines.value(lines.size() - 1), "Ostrovid Service 2.2.0 stopped.");
    EXPECT_EQ(OwnerOf(Path("elsewhere")).mode & 07000, 0u);
}

TEST_F(ServiceFiles, ADamagedStoreIsKeptAsideAndNotRewrittenUntilRepaired) {
    platform::RegistryStore seed(storePath);
    seed.CreateKey(rn::kAppKey);
    seed.SetDword(rn::kAppKey, rn::app::kMaxSubject, 5);
    seed.CreateKey(rn::kAppKey + QStringLiteral("\\SMTP"));
    seed.SetString(rn::kAppKey + QStringLiteral("\\SMTP"), QStringLiteral("SMTPServer"), QStringLiteral("mail.local"));
    ASSERT_EQ(seed.Save(), 0);
    const QByteArray whole = ReadAll(storePath);
    const qsizetype smtp = whole.indexOf("[SOFTWARE\\Vektra\\Ostrovid\\SMTP]");
    ASSERT_GT(smtp, 0);
    const QByteArray damaged = whole.left(smtp) + "garbage line\n" + whole.mid(smtp);
    WriteAll(storePath, damaged);

    StartService();
    Attach();
    EXPECT_FALSE(SaveMaximized(1));
    EXPECT_FALSE(SaveCurrentCameraIndex(2));
    EXPECT_FALSE(SaveMaximized(0));
    EXPECT_EQ(ReadAll(storePath), damaged);
    EXPECT_EQ(testsupport::CountLines(ProgramLog(),
                                      "Error on saving SaveMaximized state to registry: Недопустимые данные. (13)"),
              2)
        << ProgramLog().join('\n').toStdString();
    EXPECT_EQ(testsupport::CountLines(ServiceLog(), "Error on SaveMaximizedToRegistry(): Недопустимые данные. (13)"),
              2);
    // Kept aside once (at start-up), however many packets came.
    const QStringList copies = DamagedCopies();
    ASSERT_EQ(copies.size(), 1) << copies.join(' ').toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^registry\\.reg\\.damaged-\\d{8}T\\d{6}$")).match(copies[0]).hasMatch());
    const QString copy = dir.filePath("store/" + copies[0]);
    EXPECT_EQ(ReadAll(copy), damaged);
    EXPECT_EQ(OwnerOf(copy.toStdString()).mode, 0640u);
    EXPECT_EQ(OwnerOf(copy.toStdString()).gid, operators);
    EXPECT_TRUE(ServiceLog().contains(
        QStringLiteral(
            "Settings store %1 does not load whole (damaged at line %2); kept aside as %3. Nothing is written "
            "to it until it loads whole again.")
            .arg(storePath)
            .arg(whole.left(smtp).count('\n') + 1)
            .arg(copy)));

    // A second, different damage is kept aside too, once.
    const QByteArray worse = damaged + "more garbage\n";
    WriteAll(storePath, worse);
    EXPECT_FALSE(SaveMaximized(1));
    EXPECT_FALSE(SaveMaximized(1));
    EXPECT_EQ(DamagedCopies().size(), 2);
    EXPECT_EQ(ReadAll(storePath), worse);

    // The administrator repairs the file: the next packet is written and nothing old is lost.
    WriteAll(storePath, whole);
    EXPECT_TRUE(SaveMaximized(1));
    const auto store = LoadStore();
    EXPECT_EQ(store->Integrity(), platform::StoreIntegrity::Whole);
    uint32_t value = 0, size = 4;
    EXPECT_EQ(store->QueryValue(rn::kAppKey, rn::app::kMaxSubject, nullptr, &value, &size), 0);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(store->QueryValue(rn::kAppKey, rn::app::kMaximized, nullptr, &value, &size), 0);
    EXPECT_EQ(value, 1u);
    char16_t server[64] = {};
    uint32_t bytes = sizeof server;
    EXPECT_EQ(store->QueryValue(rn::kAppKey + QStringLiteral("\\SMTP"), QStringLiteral("SMTPServer"), nullptr, server,
                                &bytes),
              0);
    EXPECT_EQ(QString::fromUtf16(server), "mail.local");
}

}  // namespace
