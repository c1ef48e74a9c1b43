// The creation dialog against the PostgreSQL test server.

#include "app/database/db_schema.h"
#include "app/ui/database_creation_dialog.h"
#include "tests/integration/database/db_test_support.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

TEST(DatabaseCreationPostgresTest, CreatedDatabasePassesTheVersionCheck) {
    if (const QString reason = dbtest::PostgresUnavailableReason(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    const QString name = QStringLiteral("sheetdb_created");
    const QString start = dbtest::PostgresServerString() + QStringLiteral(";Initial Catalog=") + name;
    ui::DatabaseCreationDialog dialog(start, ui::DatabaseDialogMode::Create, nullptr);
    std::vector<QString> notices;
    dialog.showNotice = [&](const QString& text, const QString&, database::NoticeIcon) { notices.push_back(text); };
    // A database left by an earlier run is replaced after the question.
    std::vector<QString> questions;
    dialog.askQuestion = [&](const QString& text, const QString&) {
        questions.push_back(text);
        return true;
    };
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("testConnection"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), size_t(1), 20000);
    EXPECT_EQ(notices[0], QStringLiteral("Проверка соединения выполнена"));

    dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.result() == QDialog::Accepted, 30000);
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_LE(questions.size(), 1u);
    EXPECT_EQ(dialog.ConnectionString(), start);
    // The test server is thrown away; a second run replaces the database.
    database::DbConnection connection;
    connection.Open(dialog.ConnectionString());
    EXPECT_EQ(database::QueryDatabaseVersion(connection), 2);
}

TEST(DatabaseCreationPostgresTest, AWrongPasswordIsRefusedWithoutShowingIt) {
    if (const QString reason = dbtest::PostgresUnavailableReason(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    QString server = dbtest::PostgresServerString();
    const QRegularExpression password(QStringLiteral("Password=[^;]*"), QRegularExpression::CaseInsensitiveOption);
    if (!server.contains(password)) GTEST_SKIP() << "the test server takes no password";
    server.replace(password, QStringLiteral("Password=wrong-pw-7"));
    ui::DatabaseCreationDialog dialog(server + QStringLiteral(";Initial Catalog=sheetdb_refused"),
                                      ui::DatabaseDialogMode::Create, nullptr);
    std::vector<QString> notices;
    dialog.showNotice = [&](const QString& text, const QString&, database::NoticeIcon) { notices.push_back(text); };
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("testConnection"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), size_t(1), 20000);
    EXPECT_NE(notices[0], QStringLiteral("Проверка соединения выполнена"));
    EXPECT_FALSE(notices[0].contains(QStringLiteral("wrong-pw-7")));

    // Creation is refused the same way and the dialog stays for another try.
    dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(notices.size(), size_t(2), 20000);
    EXPECT_FALSE(notices[1].contains(QStringLiteral("wrong-pw-7")));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

}  // namespace
