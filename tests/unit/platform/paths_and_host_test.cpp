#include "platform/hostinfo.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QRegularExpression>

#include <optional>

namespace {

// Sets or clears an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<QByteArray> value) : name_(name) {
        if (qEnvironmentVariableIsSet(name)) saved_ = qgetenv(name);
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedEnv() { saved_ ? qputenv(name_, *saved_) : qunsetenv(name_); }

private:
    const char* name_;
    std::optional<QByteArray> saved_;
};

TEST(PathsTest, TempFolderAlwaysEndsWithSlash) {
    {
        ScopedEnv tmp("TMPDIR", std::nullopt);
        EXPECT_EQ(platform::TempFolder(), "/tmp/");
    }
    {
        ScopedEnv tmp("TMPDIR", QByteArray("/run/user/1000/t"));
        EXPECT_EQ(platform::TempFolder(), "/run/user/1000/t/");
    }
    ScopedEnv tmp("TMPDIR", QByteArray("/scratch/"));
    EXPECT_EQ(platform::TempFolder(), "/scratch/");
}

TEST(PathsTest, DataFolderFollowsCommonAppData) {
    {
        ScopedEnv data("OSTROVID_COMMON_APPDATA", std::nullopt);
        EXPECT_EQ(platform::CommonAppDataFolder(), "/var/lib");
        EXPECT_EQ(platform::ProgramDataFolder(), "/var/lib/Vektra/Ostrovid");
    }
    ScopedEnv data("OSTROVID_COMMON_APPDATA", QByteArray("/tmp/t4711/appdata/"));
    EXPECT_EQ(platform::CommonAppDataFolder(), "/tmp/t4711/appdata");
    EXPECT_EQ(platform::ProgramDataFolder(), "/tmp/t4711/appdata/Vektra/Ostrovid");
}

TEST(PathsTest, StoreAndAutostartDefaultsAndOverrides) {
    {
        ScopedEnv store("OSTROVID_REGISTRY", std::nullopt);
        ScopedEnv autostart("OSTROVID_AUTOSTART_DIR", std::nullopt);
        EXPECT_EQ(platform::RegistryFilePath(), "/var/lib/ostrovid/registry.reg");
        EXPECT_EQ(platform::AutostartFolder(), "/etc/xdg/autostart");
    }
    ScopedEnv store("OSTROVID_REGISTRY", QByteArray("/tmp/x/store.reg"));
    ScopedEnv autostart("OSTROVID_AUTOSTART_DIR", QByteArray("/tmp/x/autostart"));
    EXPECT_EQ(platform::RegistryFilePath(), "/tmp/x/store.reg");
    EXPECT_EQ(platform::AutostartFolder(), "/tmp/x/autostart");
}

TEST(PathsTest, ProgramFolderIsTheExecutablesDirectory) {
    const QString file = platform::ProgramFilePath();
    EXPECT_TRUE(file.endsWith("/platform_core_test")) << file.toStdString();
    const QString folder = platform::ProgramFolder();
    EXPECT_FALSE(folder.endsWith('/'));
    EXPECT_EQ(folder + "/platform_core_test", file);

    const QString before = QDir::currentPath();
    ASSERT_TRUE(platform::EnterProgramFolder());
    EXPECT_EQ(QDir::currentPath(), QDir(folder).canonicalPath());
    ASSERT_TRUE(QDir::setCurrent(before));
}

TEST(HostInfoTest, ComputerNameIsTheFirstLabelCutToFifteen) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    const QString full = QString::fromLocal8Bit(host);
    const QString name = platform::ComputerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_LE(name.size(), 15);
    EXPECT_FALSE(name.contains('.'));
    EXPECT_TRUE(full.startsWith(name));
    EXPECT_EQ(name, full.section('.', 0, 0).left(15));
}

TEST(HostInfoTest, GuidTextIsBracedUpperCaseAndNew) {
    const QRegularExpression form("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$");
    const QString first = platform::NewGuidText();
    const QString second = platform::NewGuidText();
    EXPECT_TRUE(form.match(first).hasMatch()) << first.toStdString();
    EXPECT_TRUE(form.match(second).hasMatch()) << second.toStdString();
    EXPECT_NE(first, second);
}

}  // namespace
