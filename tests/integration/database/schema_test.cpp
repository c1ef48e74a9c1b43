// The schema, its creation and the access conventions on a real SQLite file and a real
// PostgreSQL server.

#include "db_test_support.h"
#include "scripted_dialogs.h"

#include "app/database/db_operation.h"
#include "app/database/db_schema.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

namespace dbtest {
namespace {

using namespace database;

class SchemaTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        connection_.Open(db_->ConnectionString());
    }

    int Count(const QString& table) {
        return QueryInt(connection_, QStringLiteral("SELECT COUNT(*) AS N FROM ") + table);
    }

    LogCapture log_;
    DbConnection connection_;
};

TEST_P(SchemaTest, NewDatabasePassesTheVersionCheckAtOnce) {
    EXPECT_EQ(QueryDatabaseVersion(connection_), 2);
    EXPECT_EQ(QueryInt(connection_, QStringLiteral("SELECT MINORNUMBER AS N FROM VERSIONS")), 0);
}

TEST_P(SchemaTest, VersionOneOrNoRowIsTooLow) {
    Exec(connection_, QStringLiteral("UPDATE VERSIONS SET MAJORNUMBER = 1"));
    EXPECT_EQ(QueryDatabaseVersion(connection_), 1);
    Exec(connection_, QStringLiteral("DELETE FROM VERSIONS"));
    EXPECT_EQ(QueryDatabaseVersion(connection_), -1);
    Exec(connection_, QStringLiteral("INSERT INTO VERSIONS (NAME, MAJORNUMBER, MINORNUMBER) VALUES ('OTHER', 5, 0)"));
    EXPECT_EQ(QueryDatabaseVersion(connection_), -1) << "only the DATABASE row counts";
}

TEST_P(SchemaTest, DeletingAPersonCascadesToPhotosSamplesAndValues) {
    const int kept = AddPerson(connection_, QStringLiteral("Остаётся"));
    const int person = AddPerson(connection_, QStringLiteral("Удаляемый"));
    Exec(connection_, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"),
         {person, QByteArray("jpg")});
    AddSample(connection_, person, DescriptorBytes(1));
    AddSample(connection_, kept, DescriptorBytes(2));
    Exec(connection_, QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES (1, 'Рост')"));
    const int prop = QueryInt(connection_, QStringLiteral("SELECT PROP_ID AS N FROM PROPLIST"));
    Exec(connection_, QStringLiteral("INSERT INTO PERSONPROP (PERSON_ID, PROP_ID, PROPVALUE) VALUES (?, ?, '180')"),
         {person, prop});
    Exec(connection_, QStringLiteral("INSERT INTO PERSONPROP (PERSON_ID, PROP_ID, PROPVALUE) VALUES (?, ?, '170')"),
         {kept, prop});

    Exec(connection_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {person});
    EXPECT_EQ(Count(QStringLiteral("PHOTO")), 0);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES")), 1);
    EXPECT_EQ(Count(QStringLiteral("PERSONPROP")), 1);

    Exec(connection_, QStringLiteral("DELETE FROM PROPLIST WHERE PROP_ID = ?"), {prop});
    EXPECT_EQ(Count(QStringLiteral("PERSONPROP")), 0);
    EXPECT_EQ(Count(QStringLiteral("PERSONS")), 1);
}

TEST_P(SchemaTest, ChecksRefuseListThreeAndGenderTwo) {
    EXPECT_THROW(AddPerson(connection_, QStringLiteral("A"), 3, 1), DbError);
    EXPECT_THROW(AddPerson(connection_, QStringLiteral("B"), 0, 2), DbError);
    EXPECT_THROW(AddPerson(connection_, QStringLiteral("C"), -1, 0), DbError);
    EXPECT_NO_THROW(AddPerson(connection_, QStringLiteral("D"), 2, 0));
    EXPECT_EQ(Count(QStringLiteral("PERSONS")), 1);
    // A sample of a person that does not exist breaks the foreign key.
    EXPECT_THROW(
        Exec(connection_, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (999, ?, ?)"),
             {QByteArray("x"), DescriptorBytes(0)}),
        DbError);
}

TEST_P(SchemaTest, IdsAreNeverHandedOutTwice) {
    AddPerson(connection_, QStringLiteral("A"));
    const int second = AddPerson(connection_, QStringLiteral("B"));
    Exec(connection_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {second});
    EXPECT_GT(AddPerson(connection_, QStringLiteral("C")), second);
}

TEST_P(SchemaTest, ValuesRoundTripByTheReadingRules) {
    DbCommand insert(connection_);
    insert.SetCommandText(
        QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, FORENAME, SECONDNAME, Gender, "
                       "DateOfBirth) VALUES (0, 1, ?, ?, ?, 0, ?)"));
    insert.AppendText(QStringLiteral("SURNAME"), QStringLiteral("Ёлкина 😀"));
    insert.AppendText(QStringLiteral("FORENAME"), QString());
    insert.AppendNull(QStringLiteral("SECONDNAME"));
    const double dob = 27833.5 + 0.123 / 86400.0;  // 1976-03-14 12:00:00.123
    insert.AppendDate(QStringLiteral("DateOfBirth"), dob);
    insert.Execute(kExecChangeAsync);
    insert.WaitSleeping();
    EXPECT_EQ(insert.RowsAffected(), 1);

    DbCommand select(connection_);
    select.SetCommandText(
        QStringLiteral("SELECT SURNAME, FORENAME, SECONDNAME, DateOfBirth, ALIAS, "
                       "(SELECT COUNT(*) FROM PERSONS WHERE FORENAME IS NULL) AS NULLS FROM PERSONS"));
    select.Execute(kExecSelectAsync);
    select.WaitSleeping();
    DbRecordset& rows = select.Recordset();
    ASSERT_FALSE(rows.Eof());
    EXPECT_EQ(ReadText(rows.Field(QStringLiteral("surname"))), QStringLiteral("Ёлкина 😀"));
    EXPECT_EQ(ReadText(rows.Field(QStringLiteral("FORENAME"))), QString());
    EXPECT_EQ(ReadText(rows.Field(QStringLiteral("SECONDNAME"))), QString());
    EXPECT_NEAR(ReadDate(rows.Field(QStringLiteral("DateOfBirth"))), dob, 0.5 / 86400000.0);
    EXPECT_EQ(ReadDate(rows.Field(QStringLiteral("ALIAS"))), 0) << "NULL gives 0";
    EXPECT_EQ(ReadInteger(rows.Field(QStringLiteral("NULLS"))), 0) << "an empty text parameter is not NULL";
    EXPECT_THROW(ReadInteger(rows.Field(QStringLiteral("SECONDNAME"))), DbError);
    EXPECT_THROW(rows.Field(QStringLiteral("NOSUCHCOLUMN")), DbError);
    rows.MoveNext();
    EXPECT_TRUE(rows.Eof());
}

TEST_P(SchemaTest, BinaryColumnsKeepEveryByte) {
    const int person = AddPerson(connection_, QStringLiteral("A"));
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i) bytes.append(static_cast<char>(i * 7));
    Exec(connection_, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES (?, ?)"), {person, bytes});
    DbCommand select(connection_);
    select.SetCommandText(QStringLiteral("SELECT BINDATA FROM PHOTO WHERE PERSON_ID=?"));
    select.AppendInteger(QStringLiteral("PERSON_ID"), person);
    select.Execute(kExecSelectAsync);
    select.WaitSleeping();
    QByteArray read;
    ASSERT_TRUE(ReadBinary(select.Recordset().Field(QStringLiteral("BINDATA")), &read));
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(ReadBinary(QVariant(QStringLiteral("text")), &read));
}

// A sample insert and its STATE increment in one transaction; the insert fails after the
// increment has run.
TEST_P(SchemaTest, FailedStatementInsideSampleTransactionLeavesNothing) {
    const int person = AddPerson(connection_, QStringLiteral("A"));
    ScriptedDialogs ui;
    const DbOpResult result = RunDbOperation(
        "HandleAddDbPersonSample", DbOpKind::Change, ui, connection_, db_->ConnectionString(), [&](DbTransaction& tx) {
            tx.Begin();
            Exec(connection_, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {person});
            Exec(connection_, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, ?)"),
                 {person, QVariant(), DescriptorBytes(0)});
            tx.Commit();
        });
    EXPECT_EQ(result, DbOpCancel);
    EXPECT_EQ(ui.waitDepth, 0) << "the wait cursor is restored";
    ASSERT_EQ(ui.questions.size(), 1);
    EXPECT_TRUE(ui.questions[0].startsWith(kCaptionCommandError));
    EXPECT_TRUE(log_.Text().contains(QStringLiteral("HandleAddDbPersonSample() Exception: ")))
        << log_.Text().toStdString();
    EXPECT_EQ(Count(QStringLiteral("SAMPLES")), 0);
    EXPECT_EQ(QueryInt(connection_, QStringLiteral("SELECT STATE AS N FROM PERSONS")), 0);
    EXPECT_EQ(connection_.IsolationLevel(), adXactReadCommitted);

    // Retry reopens the connection; the repeated operation then succeeds and commits.
    ui.retry = true;
    bool fail = true;
    auto body = [&](DbTransaction& tx) {
        tx.Begin();
        Exec(connection_, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {person});
        Exec(connection_, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, ?)"),
             {person, fail ? QVariant() : QVariant(QByteArray("img")), DescriptorBytes(0)});
        tx.Commit();
    };
    EXPECT_EQ(
        RunDbOperation("HandleAddDbPersonSample", DbOpKind::Change, ui, connection_, db_->ConnectionString(), body),
        DbOpRetry);
    fail = false;
    EXPECT_EQ(
        RunDbOperation("HandleAddDbPersonSample", DbOpKind::Change, ui, connection_, db_->ConnectionString(), body),
        DbOpDone);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES")), 1);
    EXPECT_EQ(QueryInt(connection_, QStringLiteral("SELECT STATE AS N FROM PERSONS")), 1);
}

TEST_P(SchemaTest, RetryWithAnUnreachableDatabaseCancels) {
    ScriptedDialogs ui;
    ui.retry = true;
    const QString broken =
        GetParam() == DbProvider::SQLite
            ? QStringLiteral("Provider=SQLite;Data Source=/nonexistent/x.db")
            : QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1:1;User ID=u;Password=p;Initial Catalog=x");
    const DbOpResult result =
        RunDbOperation("HandleDbPersonsList", DbOpKind::Read, ui, connection_, broken,
                       [&](DbTransaction&) { QueryInt(connection_, QStringLiteral("SELECT NOPE AS N")); });
    EXPECT_EQ(result, DbOpCancel);
    ASSERT_EQ(ui.questions.size(), 1);
    EXPECT_TRUE(ui.questions[0].startsWith(kCaptionQueryError));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(kCaptionConnection));
    EXPECT_FALSE(connection_.IsOpen());
}

TEST_P(SchemaTest, CreatingUnderAnExistingNameAsksAndReplaces) {
    AddPerson(connection_, QStringLiteral("Старые данные"));
    connection_.Close();
    const QString server = ServerLevelString(db_->ConnectionString());
    const QString name = ParseConnectionString(db_->ConnectionString())->initialCatalog;
    QStringList asked;
    auto declined = CreateDatabase(server, name, [&](const ExistingDatabase& existing) {
        asked << existing.name;
        EXPECT_EQ(existing.otherSessions, 0) << "nobody else works with it";
        return false;
    });
    EXPECT_EQ(declined.status, CreateDatabaseResult::Declined);
    EXPECT_EQ(asked, QStringList{name});
    connection_.Open(db_->ConnectionString());
    EXPECT_EQ(Count(QStringLiteral("PERSONS")), 1);

    // Another station's session is counted (PostgreSQL) and refuses the replacement when declined.
    if (GetParam() == DbProvider::PostgreSQL) {
        std::vector<int> sessions;
        auto kept = CreateDatabase(server, name, [&](const ExistingDatabase& existing) {
            sessions.push_back(existing.otherSessions);
            return false;
        });
        EXPECT_EQ(kept.status, CreateDatabaseResult::Declined);
        EXPECT_EQ(sessions, std::vector<int>{1});
        EXPECT_EQ(Count(QStringLiteral("PERSONS")), 1);

        // A station that connects while the operator is asked is asked about again.
        DbConnection late;
        sessions.clear();
        auto askedAgain = CreateDatabase(server, name, [&](const ExistingDatabase& existing) {
            sessions.push_back(existing.otherSessions);
            if (sessions.size() == 1) late.Open(db_->ConnectionString());
            return sessions.size() == 1;
        });
        EXPECT_EQ(askedAgain.status, CreateDatabaseResult::Declined);
        EXPECT_EQ(sessions, (std::vector<int>{1, 2}));
        EXPECT_EQ(Count(QStringLiteral("PERSONS")), 1);
    }

    // Other sessions are ended when the database is replaced.
    auto replaced = CreateDatabase(server, name, [](const ExistingDatabase&) { return true; });
    ASSERT_EQ(replaced.status, CreateDatabaseResult::Created) << replaced.error.toStdString();
    EXPECT_EQ(replaced.connectionString, server + QStringLiteral(";Initial Catalog=") + name);
    DbConnection fresh;
    fresh.Open(replaced.connectionString);
    EXPECT_EQ(QueryInt(fresh, QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS")), 0);
    EXPECT_EQ(QueryDatabaseVersion(fresh), 2);
}

TEST_P(SchemaTest, UnsafeDatabaseNamesAreRefused) {
    const QString server = ServerLevelString(db_->ConnectionString());
    for (const QString& name : {QStringLiteral("a\"; DROP DATABASE postgres; --"), QStringLiteral("x]y"),
                                QStringLiteral("../etc"), QStringLiteral("a;Initial Catalog=b"), QString()}) {
        const auto result = CreateDatabase(server, name);
        EXPECT_EQ(result.status, CreateDatabaseResult::CreateFailed) << name.toStdString();
        EXPECT_FALSE(result.error.isEmpty());
    }
}

TEST_P(SchemaTest, OpenFailuresCarryTheDriverText) {
    DbConnection other;
    QString bad;
    if (GetParam() == DbProvider::SQLite) {
        bad = QStringLiteral("Provider=SQLite;Data Source=") +
              QFileInfo(ParseConnectionString(db_->ConnectionString())->sqliteFile()).path() +
              QStringLiteral("/missing.db");
    } else {
        auto params = *ParseConnectionString(db_->ConnectionString());
        params.password = QStringLiteral("wrong");
        bad = ComposeConnectionString(params);
    }
    try {
        other.Open(bad);
        FAIL() << "opened " << bad.toStdString();
    } catch (const DbError& error) {
        EXPECT_FALSE(error.Description().isEmpty());
    }
    EXPECT_FALSE(other.IsOpen());
    if (GetParam() == DbProvider::SQLite) {
        EXPECT_FALSE(QFileInfo::exists(ParseConnectionString(bad)->sqliteFile())) << "a missing file is not created";
    }
    EXPECT_TRUE(TestServerConnection(ServerLevelString(db_->ConnectionString())) == std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Providers, SchemaTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         ProviderTestName);

}  // namespace
}  // namespace dbtest
