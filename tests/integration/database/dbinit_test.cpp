// The setup tool that prepares the embedded database of a fresh installation.

#include "app/database/db_access.h"
#include "app/database/db_schema.h"
#include "platform/operator_group.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Vektra\\Ostrovid");
const QString kValue = QStringLiteral("DbConnectionString");

class DbInitTest : public ::testing::Test {
protected:
    // With the overrides of this test's folder, or (Folders::Default) with the system's folders, as
    // an installation below --root sees them.
    enum class Folders { Test, Default };
    int Run(const QStringList& arguments = {}, Folders folders = Folders::Test) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("OSTROVID_COMMON_APPDATA"));
        env.remove(QStringLiteral("OSTROVID_REGISTRY"));
        if (folders == Folders::Test) {
            env.insert(QStringLiteral("OSTROVID_COMMON_APPDATA"), dir_.filePath(QStringLiteral("lib")));
            env.insert(QStringLiteral("OSTROVID_REGISTRY"), store_);
        }
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(OSTROVID_DBINIT), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return process.exitCode();
    }
    QString Stored() {
        platform::RegistryStore store(store_);
        store.Load();
        char16_t buffer[1024] = {};
        uint32_t size = sizeof buffer;
        if (store.QueryValue(kKey, kValue, nullptr, buffer, &size) != 0) return QStringLiteral("<missing>");
        return QString::fromUtf16(buffer);
    }
    void Store(const QString& value) {
        platform::RegistryStore store(store_);
        store.Load();
        store.CreateKey(kKey);
        store.SetString(kKey, kValue, value);
        ASSERT_EQ(store.Save(), 0);
    }

    QTemporaryDir dir_;
    QString store_ = dir_.filePath(QStringLiteral("etc/registry.reg"));
    QString file_ = dir_.filePath(QStringLiteral("lib/Vektra/Ostrovid/Ostrovid.db"));
};

TEST_F(DbInitTest, FreshInstallationGetsTheDatabaseAndTheString) {
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(Stored(), QStringLiteral("Provider=SQLite;Data Source=") + file_);
    database::DbConnection connection;
    connection.Open(Stored());
    EXPECT_EQ(database::QueryDatabaseVersion(connection), 2);
    // The operators' program writes the database; no other account may even read it.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file_).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0660u);
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(file_).path()).constData(), &info), 0);
    const std::optional<gid_t> operators = platform::OperatorGroupId();
    if (geteuid() == 0 && operators) {
        EXPECT_EQ(info.st_mode & 07777, 02770u);
        EXPECT_EQ(info.st_gid, *operators);
    }

    // Run again: nothing is replaced.
    database::DbCommand insert(connection);
    insert.SetCommandText(QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, 'kept')"));
    insert.Execute(database::kExecChange);
    connection.Close();
    ASSERT_EQ(Run(), 0);
    connection.Open(Stored());
    database::DbCommand count(connection);
    count.SetCommandText(QStringLiteral("SELECT COUNT(*) AS N FROM PROPLIST"));
    count.Execute(database::kExecSync);
    EXPECT_EQ(database::ReadInteger(count.Recordset().Field(QStringLiteral("N"))), 1);
}

TEST_F(DbInitTest, OnlyAnEmptySettingIsSeeded) {
    const QString server =
        QStringLiteral("Provider=PostgreSQL;Data Source=db:5432;User ID=u;Password=p;Initial Catalog=x");
    Store(server);
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(Stored(), server);
    Store(QString());
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(Stored(), QStringLiteral("Provider=SQLite;Data Source=") + file_);
}

// dpkg --root installs set up a system below a folder: the files go there, the stored string is
// the one that system will use.
TEST_F(DbInitTest, InstallRootKeepsTheSystemsOwnPathInTheString) {
    ASSERT_EQ(Run({QStringLiteral("--root"), dir_.path() + QStringLiteral("/sys/")}, Folders::Default), 0);
    const QString root = dir_.filePath(QStringLiteral("sys"));
    EXPECT_TRUE(QFileInfo::exists(root + QStringLiteral("/var/lib/Vektra/Ostrovid/Ostrovid.db")));
    store_ = root + QStringLiteral("/var/lib/ostrovid/registry.reg");
    EXPECT_EQ(Stored(), QStringLiteral("Provider=SQLite;Data Source=/var/lib/Vektra/Ostrovid/Ostrovid.db"));
}

TEST_F(DbInitTest, WrongArgumentsTouchNothing) {
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--root")}, QStringList{QStringLiteral("--root"), QStringLiteral("relative")},
          QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--root"), dir_.path(), QStringLiteral("x")}}) {
        EXPECT_EQ(Run(arguments), 2) << arguments.join(u' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(file_).path()));
    EXPECT_FALSE(QFileInfo::exists(store_));
}

}  // namespace
