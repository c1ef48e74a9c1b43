// The "База данных" page and the creation dialog on the offscreen platform.

#include "app/ui/database_page.h"
#include "app/database/db_access.h"
#include "app/database/db_schema.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

using testsupport::Child;

using database::NoticeIcon;

struct Notice {
    QString text;
    QString caption;
    NoticeIcon icon;
};

void Store(settings::SettingsState& copy, const QString& text) {
    std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), copy.DbConnectionString);
}

TEST(DatabasePageTest, EditShowsTheStringWithoutItsPassword) {
    settings::SettingsState copy{};
    const QString real = QStringLiteral("Provider=PostgreSQL;Data Source=h;User ID=u;Password=pw;Initial Catalog=d");
    Store(copy, real);
    ui::DatabasePage page(copy, nullptr);
    std::vector<Notice> notices;
    page.showNotice = [&](const QString& t, const QString& c, NoticeIcon i) { notices.push_back({t, c, i}); };
    auto* edit = Child<QLineEdit>(page, "DbConnectionString");
    EXPECT_EQ(edit->maxLength(), 1023);
    EXPECT_FALSE(edit->text().contains(QStringLiteral("pw")));

    edit->setCursorPosition(edit->text().size());
    QTest::keyClicks(edit, QStringLiteral("2"));
    EXPECT_EQ(QString::fromUtf16(copy.DbConnectionString), real + u'2');

    page.runDialog = [](const QString& current, ui::DatabaseDialogMode mode) -> std::optional<QString> {
        EXPECT_TRUE(current.contains(QStringLiteral("Password=pw;")));
        if (mode == ui::DatabaseDialogMode::Edit) return std::nullopt;
        return QStringLiteral("Provider=SQLite;Data Source=/tmp/x.db");
    };
    Child<QPushButton>(page, "change")->click();
    EXPECT_TRUE(notices.empty());
    Child<QPushButton>(page, "create")->click();
    EXPECT_EQ(QString::fromUtf16(copy.DbConnectionString), QStringLiteral("Provider=SQLite;Data Source=/tmp/x.db"));
    EXPECT_EQ(edit->text(), QStringLiteral("Provider=SQLite;Data Source=/tmp/x.db"));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, QStringLiteral("База данных успешно создана!"));
    EXPECT_EQ(notices[0].caption, QStringLiteral("Vektra Ostrovid v.2.2.0"));
}

TEST(DatabasePageTest, DialogCreatesAnSqliteDatabaseThatPassesTheVersionCheck) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ui::DatabaseCreationDialog dialog(QString(), ui::DatabaseDialogMode::Create, nullptr);
    std::vector<Notice> notices;
    dialog.showNotice = [&](const QString& t, const QString& c, NoticeIcon i) { notices.push_back({t, c, i}); };
    dialog.chooseFile = [&](const QString&) { return folder.filePath(QStringLiteral("people")); };
    dialog.show();
    auto* ok = Child<QPushButton>(dialog, "ok");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Создание базы данных"));
    EXPECT_FALSE(ok->isEnabled());
    Child<QPushButton>(dialog, "browse")->click();
    ASSERT_TRUE(ok->isEnabled());
    ok->click();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.result() == QDialog::Accepted, 10000);
    EXPECT_TRUE(notices.empty());
    const QString created = dialog.ConnectionString();
    EXPECT_EQ(database::ParseConnectionString(created)->sqliteFile(), folder.filePath(QStringLiteral("people.db")));
    database::DbConnection connection;
    connection.Open(created);
    EXPECT_EQ(database::QueryDatabaseVersion(connection), 2);
}

// "Создать" with the database the program works with: the operator is asked, naming it and that
// it is in use; No keeps its data and the dialog, Yes replaces it.
TEST(DatabasePageTest, CreatingTheDatabaseInUseAsksFirst) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("live.db"));
    database::CreateSqliteDatabaseFile(file);
    const QString live = QStringLiteral("Provider=SQLite;Data Source=") + file;
    const auto persons = [&live] {
        database::DbConnection connection;
        connection.Open(live);
        database::DbCommand count(connection);
        count.SetCommandText(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS"));
        count.Execute(database::kExecSync);
        return database::ReadInteger(count.Recordset().Field(QStringLiteral("N")));
    };
    {
        database::DbConnection connection;
        connection.Open(live);
        database::DbCommand insert(connection);
        insert.SetCommandText(
            QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, Gender) VALUES (0, 1, 'Live', 1)"));
        insert.Execute(database::kExecChange);
    }

    ui::DatabaseCreationDialog dialog(live, ui::DatabaseDialogMode::Create, nullptr);
    dialog.stringInUse = live;
    std::vector<Notice> notices;
    dialog.showNotice = [&](const QString& t, const QString& c, NoticeIcon i) { notices.push_back({t, c, i}); };
    QStringList asked;
    bool answer = false;
    dialog.askQuestion = [&](const QString& text, const QString& caption) {
        asked << text;
        EXPECT_EQ(caption, QStringLiteral("Создание базы данных"));
        return answer;
    };
    dialog.show();
    auto* ok = Child<QPushButton>(dialog, "ok");
    ASSERT_TRUE(ok->isEnabled());
    ok->click();
    // QTest's own waits only return from the test when they fail.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !asked.isEmpty() && ok->isEnabled(); }, 10000))
        << "nothing was asked";
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("\"live\"")));
    EXPECT_TRUE(asked[0].contains(QStringLiteral("Программа сейчас работает с этой базой данных")));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(persons(), 1) << "the live database was replaced without the operator's Yes";

    answer = true;
    ok->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.result() == QDialog::Accepted; }, 10000));
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(persons(), 0);
}

TEST(DatabasePageTest, UnwritableFolderAndDownServerReportWithoutFreezing) {
    ui::DatabaseCreationDialog dialog(QString(), ui::DatabaseDialogMode::Create, nullptr);
    std::vector<Notice> notices;
    dialog.showNotice = [&](const QString& t, const QString& c, NoticeIcon i) { notices.push_back({t, c, i}); };
    dialog.chooseFile = [](const QString&) { return QStringLiteral("/proc/no-such-folder/people.db"); };
    dialog.show();
    auto* ok = Child<QPushButton>(dialog, "ok");
    Child<QPushButton>(dialog, "browse")->click();
    ok->click();
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), size_t(1), 10000);
    EXPECT_EQ(notices[0].caption, QStringLiteral("Соединение с SQL сервером"));
    EXPECT_EQ(notices[0].icon, NoticeIcon::Error);
    EXPECT_TRUE(dialog.isVisible());

    Child<QRadioButton>(dialog, "postgresql")->click();
    QTest::keyClicks(Child<QLineEdit>(dialog, "host"), QStringLiteral("127.0.0.1"));
    QTest::keyClicks(Child<QLineEdit>(dialog, "port"), QStringLiteral("1"));
    QTest::keyClicks(Child<QLineEdit>(dialog, "user"), QStringLiteral("nobody"));
    EXPECT_FALSE(ok->isEnabled());
    auto* password = Child<QLineEdit>(dialog, "password");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    QTest::keyClicks(password, QStringLiteral("secret-pw"));
    ASSERT_TRUE(ok->isEnabled());

    QElapsedTimer clock;
    clock.start();
    Child<QPushButton>(dialog, "testConnection")->click();
    // The test runs in the background: the dialog is busy but its events are served.
    EXPECT_FALSE(ok->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), size_t(2), 15000);
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(notices[1].caption, QStringLiteral("Канал передачи данных Microsoft"));
    EXPECT_EQ(notices[1].icon, NoticeIcon::Error);
    EXPECT_FALSE(notices[1].text.contains(QStringLiteral("secret-pw")));
    EXPECT_TRUE(ok->isEnabled());

    ok->click();
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), size_t(3), 15000);
    EXPECT_EQ(notices[2].caption, QStringLiteral("Соединение с SQL сервером"));
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
