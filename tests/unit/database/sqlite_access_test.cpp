// The access layer on real SQLite files: parameters, execution, errors, reading rules.

#include "app/database/db_access.h"
#include "app/database/db_schema.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>

namespace database {
namespace {

class SqliteAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = dir_.filePath(QStringLiteral("Ostrovid.db"));
        CreateSqliteDatabaseFile(file_);
        connection_.Open(QStringLiteral("Provider=SQLite;Data Source=") + file_);
    }
    int Count(const QString& sql) {
        DbCommand command(connection_);
        command.SetCommandText(sql);
        command.Execute(kExecSync);
        return ReadInteger(command.Recordset().Field(QStringLiteral("N")));
    }

    QTemporaryDir dir_;
    QString file_;
    DbConnection connection_;
};

TEST_F(SqliteAccessTest, ParametersBindInMarkerOrderAndStayAttached) {
    DbCommand command(connection_);
    command.SetCommandText(
        QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, ALIAS, Gender) VALUES (0, ?, ?, ?, ?)"));
    command.AppendInteger(QStringLiteral("LIST_NUM"), 2);
    command.AppendText(QStringLiteral("SURNAME"), QStringLiteral("Что? 'да'"));
    command.AppendOptionalText(QStringLiteral("ALIAS"), QString());
    command.AppendInteger(QStringLiteral("Gender"), 1);
    command.Execute(kExecChange);
    // Reused for a statement with fewer markers, the first parameters serve it.
    command.SetCommandText(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS WHERE LIST_NUM = ? AND SURNAME = 'x?'"));
    command.Execute(kExecSync);
    EXPECT_EQ(ReadInteger(command.Recordset().Field(QStringLiteral("N"))), 0);
    command.DeleteParameter(QStringLiteral("list_num"));
    command.SetCommandText(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS WHERE SURNAME = ? AND ALIAS IS NULL"));
    command.Execute(kExecSync);
    EXPECT_EQ(ReadInteger(command.Recordset().Field(QStringLiteral("N"))), 1);
    command.SetCommandText(QStringLiteral("SELECT ? AS A, ? AS B, ? AS C, ? AS D"));
    EXPECT_THROW(command.Execute(kExecSync), DbError) << "more markers than parameters";
}

TEST_F(SqliteAccessTest, FailuresCarryTheDriverText) {
    DbCommand command(connection_);
    command.SetCommandText(QStringLiteral("SELECT * FROM NO_SUCH_TABLE"));
    command.Execute(kExecSelectAsync);
    command.WaitSleeping();
    try {
        command.Recordset();
        FAIL();
    } catch (const DbError& error) {
        EXPECT_TRUE(error.Description().contains(QStringLiteral("NO_SUCH_TABLE"))) << error.Description().toStdString();
    }
    connection_.Close();
    EXPECT_THROW(command.Execute(kExecSync), DbError);
    EXPECT_THROW(connection_.Open(QStringLiteral("Provider=Other;Data Source=x")), DbError);
    EXPECT_THROW(connection_.Open(QStringLiteral("Provider=SQLite")), DbError);
}

TEST_F(SqliteAccessTest, ForeignKeysAreEnforcedOnEveryConnection) {
    DbConnection second;
    second.Open(QStringLiteral("Provider=SQLite;Data Source=") + file_);
    DbCommand command(second);
    command.SetCommandText(QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (42, x'00')"));
    EXPECT_THROW(command.Execute(kExecChange), DbError);
}

TEST_F(SqliteAccessTest, RunningStatementCanBeInterrupted) {
    DbCommand command(connection_);
    command.SetCommandText(
        QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT MAX(x) AS N FROM c"));
    command.Execute(kExecSelectAsync);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(command.IsExecuting());
    const auto started = std::chrono::steady_clock::now();
    command.Cancel();
    command.WaitSleeping();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_THROW(command.Recordset(), DbError);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS")), 0) << "the connection goes on working";
}

TEST_F(SqliteAccessTest, RollbackUndoesAndCommitKeeps) {
    connection_.SetIsolationLevel(adXactRepeatableRead);
    connection_.BeginTrans();
    DbCommand command(connection_);
    command.SetCommandText(QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, 'a')"));
    command.Execute(kExecChange);
    connection_.RollbackTrans();
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PROPLIST")), 0);
    connection_.BeginTrans();
    command.Execute(kExecChange);
    connection_.CommitTrans();
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PROPLIST")), 1);
    EXPECT_THROW(connection_.CommitTrans(), DbError) << "no transaction is open";
}

TEST(ReadingRulesTest, DatesNumbersAndTexts) {
    const double noon = 27833.5;  // 1976-03-14 12:00
    EXPECT_DOUBLE_EQ(ReadDate(QVariant(QStringLiteral("1976-03-14 12:00:00.000"))), noon);
    EXPECT_DOUBLE_EQ(ReadDate(QVariant(QStringLiteral("1976-03-14T12:00:00"))), noon);
    EXPECT_DOUBLE_EQ(ReadDate(QVariant(QStringLiteral("1976-03-14"))), 27833.0);
    EXPECT_DOUBLE_EQ(ReadDate(QVariant(QDateTime(QDate(1976, 3, 14), QTime(12, 0)))), noon);
    EXPECT_DOUBLE_EQ(ReadDate(QVariant(12.25)), 12.25);
    EXPECT_EQ(ReadDate(QVariant(QStringLiteral("garbage"))), 0);
    EXPECT_EQ(ReadDate(QVariant(QStringLiteral("1976-03-14 25:99"))), 0);
    EXPECT_EQ(ReadDate(QVariant(7)), 0);
    EXPECT_EQ(ReadDate(QVariant()), 0);
    EXPECT_EQ(OleDateToDbText(noon + 0.123 / 86400), QStringLiteral("1976-03-14 12:00:00.123"));
    EXPECT_EQ(OleDateToDbText(0), QStringLiteral("1899-12-30 00:00:00.000"));

    EXPECT_EQ(ReadInteger(QVariant(qlonglong(7))), 7);
    EXPECT_EQ(ReadInteger(QVariant(QStringLiteral("12"))), 12);
    EXPECT_THROW(ReadInteger(QVariant(qlonglong(1) << 40)), DbError);
    EXPECT_THROW(ReadInteger(QVariant()), DbError);
    EXPECT_THROW(ReadInteger(QVariant(QStringLiteral("x"))), DbError);
    EXPECT_EQ(ReadText(QVariant(5)), QString());
    EXPECT_EQ(ReadText(QVariant(QStringLiteral("a"))), QStringLiteral("a"));
}

}  // namespace
}  // namespace database
