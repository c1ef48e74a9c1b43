#include "platform/registry.h"
#include "platform/log.h"
#include "platform/operator_group.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

using platform::RegistryStore;
using platform::RegType;

namespace {

const QString kApp = QStringLiteral("SOFTWARE\\Vektra\\Ostrovid");

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString QueryString(const RegistryStore& store, const QString& key, const QString& name) {
    char16_t buffer[512] = {};
    uint32_t size = sizeof buffer;
    RegType type = RegType::None;
    if (store.QueryValue(key, name, &type, buffer, &size) != 0 || type != RegType::Sz)
        return QStringLiteral("<missing>");
    return QString::fromUtf16(buffer, size / 2 - 1);
}

const QByteArray kDesignText =
    "[SOFTWARE]\n\n[SOFTWARE\\Vektra]\n\n[SOFTWARE\\Vektra\\Ostrovid]\n"
    "\"MaxSubject\"=dword:00000008\n"
    "\"DbConnectionString\"=\"Provider=SQLite;Data Source=/var/lib/Vektra/Ostrovid/Ostrovid.db\"\n"
    "\"PanelDivProportion\"=hex:66,66,66,66,66,66,d6,3f\n\n"
    "[SOFTWARE\\Vektra\\Ostrovid\\Camera]\n\n"
    "[SOFTWARE\\Vektra\\Ostrovid\\Camera\\0]\n"
    "\"Type\"=dword:00000001\n"
    "\"Name\"=\"Вход \\\"A\\\\B\\\"\"\n"
    "\"Empty\"=\"\"\n"
    "\"Lines\"=\"one\ntwo\"\n"
    "\"NoBytes\"=hex:\n";

class StoreFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("registry.reg"));
};

TEST_F(StoreFile, DesignTextParsesAndSavesBackByteExact) {
    WriteFile(path, kDesignText);
    RegistryStore store(path);
    ASSERT_EQ(store.Load(), 0);

    uint32_t dword = 0, size = 4;
    RegType type = RegType::None;
    EXPECT_EQ(store.QueryValue(kApp, QStringLiteral("maxsubject"), &type, &dword, &size), 0);
    EXPECT_EQ(type, RegType::Dword);
    EXPECT_EQ(dword, 8u);

    double proportion = 0;
    size = sizeof proportion;
    EXPECT_EQ(store.QueryValue(kApp, QStringLiteral("PanelDivProportion"), &type, &proportion, &size), 0);
    EXPECT_EQ(type, RegType::Binary);
    EXPECT_EQ(proportion, 0.35);

    const QString camera = kApp + QStringLiteral("\\camera\\0");
    EXPECT_EQ(QueryString(store, camera, QStringLiteral("Name")), QStringLiteral("Вход \"A\\B\""));
    EXPECT_EQ(QueryString(store, camera, QStringLiteral("Empty")), QString());
    EXPECT_EQ(QueryString(store, camera, QStringLiteral("Lines")), QStringLiteral("one\ntwo"));
    EXPECT_EQ(store.ValueNames(camera), (QStringList{"Type", "Name", "Empty", "Lines", "NoBytes"}));

    ASSERT_EQ(store.Save(), 0);
    EXPECT_EQ(ReadFile(path), kDesignText);
}

TEST_F(StoreFile, QueryReportsSizesLikeTheRegistry) {
    RegistryStore store(path);
    ASSERT_EQ(store.CreateKey(kApp), 0);
    ASSERT_EQ(store.SetString(kApp, QStringLiteral("Name"), QStringLiteral("abc")), 0);

    uint32_t size = 0;
    RegType type = RegType::None;
    EXPECT_EQ(store.QueryValue(kApp, QStringLiteral("NAME"), &type, nullptr, &size), 0);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, RegType::Sz);

    char16_t small[3] = {u'x', u'x', u'x'};
    size = sizeof small;
    EXPECT_EQ(store.QueryValue(kApp, QStringLiteral("Name"), &type, small, &size), 234);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(small[0], u'x');

    char16_t exact[4] = {};
    size = sizeof exact;
    EXPECT_EQ(store.QueryValue(kApp, QStringLiteral("Name"), &type, exact, &size), 0);
    EXPECT_EQ(QString::fromUtf16(exact), QStringLiteral("abc"));

    EXPECT_EQ(store.QueryValue(kApp, QStringLiteral("Other"), &type, exact, &size), 2);
    EXPECT_EQ(store.QueryValue(kApp + QStringLiteral("\\Nope"), QStringLiteral("Name"), &type, exact, &size), 2);
    EXPECT_EQ(store.SetString(kApp + QStringLiteral("\\Nope"), QStringLiteral("Name"), QStringLiteral("x")), 2);
}

TEST_F(StoreFile, DeleteTreeRemovesTheKeyAndOnlyIt) {
    RegistryStore store(path);
    ASSERT_EQ(store.CreateKey(kApp + QStringLiteral("\\CSV\\RecognizedPersons\\Deep")), 0);
    ASSERT_EQ(store.CreateKey(kApp + QStringLiteral("\\CSV\\Other")), 0);
    ASSERT_EQ(store.SetDword(kApp + QStringLiteral("\\CSV"), QStringLiteral("Kept"), 1), 0);

    EXPECT_EQ(store.DeleteTree(kApp + QStringLiteral("\\csv\\recognizedpersons")), 0);
    EXPECT_FALSE(store.KeyExists(kApp + QStringLiteral("\\CSV\\RecognizedPersons\\Deep")));
    EXPECT_EQ(store.SubkeyNames(kApp + QStringLiteral("\\CSV")), QStringList{"Other"});
    EXPECT_EQ(store.ValueNames(kApp + QStringLiteral("\\CSV")), QStringList{"Kept"});
    EXPECT_EQ(store.DeleteTree(kApp + QStringLiteral("\\CSV\\RecognizedPersons")), 2);
    EXPECT_EQ(store.DeleteValue(kApp + QStringLiteral("\\CSV"), QStringLiteral("kept")), 0);
    EXPECT_EQ(store.DeleteValue(kApp + QStringLiteral("\\CSV"), QStringLiteral("kept")), 2);
}

TEST_F(StoreFile, DamagedFilesKeepWhatCameBeforeTheDamage) {
    std::mt19937 random(4711);
    for (int round = 0; round < 400; ++round) {
        QByteArray text = kDesignText;
        const qsizetype cut = std::uniform_int_distribution<qsizetype>(0, text.size() - 1)(random);
        if (round % 2 == 0) {
            text.truncate(cut);
        } else {
            for (int i = 0; i < 4; ++i)
                text[std::uniform_int_distribution<qsizetype>(cut, text.size() - 1)(random)] = char(random());
        }
        WriteFile(path, text);
        RegistryStore store(path);
        ASSERT_EQ(store.Load(), 0);
        // A value whose line lies wholly before the damage reads back unchanged.
        if (cut > kDesignText.indexOf("\"DbConnectionString\"")) {
            uint32_t dword = 0, size = 4;
            EXPECT_EQ(store.QueryValue(kApp, QStringLiteral("MaxSubject"), nullptr, &dword, &size), 0) << round;
            EXPECT_EQ(dword, 8u);
        }
    }
}

TEST_F(StoreFile, RandomBytesNeverCrashAndAreLoggedOncePerLoad) {
    const QString log = dir.filePath(QStringLiteral("store.log"));
    platform::SetLogFile(log, dir.filePath(QStringLiteral("store1.log")));
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(std::uniform_int_distribution<int>(1, 300)(random), '\0');
        for (char& c : bytes) c = char(random());
        bytes.prepend("[K]\n\"x\"=dword:00000001\n");
        WriteFile(path, bytes + "\x01");
        QFile::remove(log);
        RegistryStore store(path);
        ASSERT_EQ(store.Load(), 0);
        EXPECT_EQ(ReadFile(log).count(QByteArray("\r\0\n\0", 4)), 1) << round;
        EXPECT_TRUE(store.KeyExists(QStringLiteral("k")));
    }
    platform::SetLogFile(QString(), QString());
}

TEST_F(StoreFile, ADamagedStoreSaysWhereAndIsNeverSavedOverTheRest) {
    WriteFile(path, kDesignText);
    RegistryStore whole(path);
    ASSERT_EQ(whole.Load(), 0);
    EXPECT_EQ(whole.Integrity(), platform::StoreIntegrity::Whole);
    EXPECT_EQ(whole.DamagedLine(), 0);

    QByteArray damaged = kDesignText;
    damaged.insert(damaged.indexOf("[SOFTWARE\\Vektra\\Ostrovid\\Camera]"), "not a line of the store\n");
    WriteFile(path, damaged);
    RegistryStore store(path);
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(store.Integrity(), platform::StoreIntegrity::Damaged);
    EXPECT_EQ(store.DamagedLine(), 10);
    // What loaded is there to read, but saving it would drop the cameras.
    EXPECT_TRUE(store.KeyExists(kApp));
    EXPECT_FALSE(store.KeyExists(kApp + QStringLiteral("\\Camera")));
    EXPECT_EQ(store.SetDword(kApp, QStringLiteral("MaxSubject"), 3), 0);
    EXPECT_EQ(store.Save(), 13);
    EXPECT_EQ(ReadFile(path), damaged);

    // Loaded again after a repair, the same object saves.
    WriteFile(path, kDesignText);
    ASSERT_EQ(store.Load(), 0);
    EXPECT_EQ(store.Integrity(), platform::StoreIntegrity::Whole);
    EXPECT_EQ(store.Save(), 0);
}

TEST_F(StoreFile, TheFileIsForTheOperatorsOnlyAndLinksBesideItAreNotFollowed) {
    const QString victim = dir.filePath(QStringLiteral("victim"));
    WriteFile(victim, "precious");
    ASSERT_TRUE(QFile::link(victim, path + QStringLiteral(".tmp")));
    RegistryStore store(path);
    ASSERT_EQ(store.CreateKey(kApp), 0);
    ASSERT_EQ(store.Save(), 0);
    EXPECT_EQ(ReadFile(victim), "precious");
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    const std::optional<gid_t> operators = platform::OperatorGroupId();
    if (geteuid() == 0 && operators) {
        EXPECT_EQ(info.st_gid, *operators);
    }
    // The owner (a test, or the service as another user) still reads its own store.
    RegistryStore again(path);
    ASSERT_EQ(again.Load(), 0);
    EXPECT_TRUE(again.KeyExists(kApp));
}

}  // namespace
