// A PostgreSQL server that goes away and comes back: the working set stays in use while it is
// gone, and both the check thread and a retried operation recover once it is back.

#include "db_test_support.h"

#include "app/database/db_operation.h"
#include "app/database/model_sync.h"
#include "app/recognition/predict_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace dbtest {
namespace {

using namespace database;

class AnswerRetry : public DbUserInterface {
public:
    bool AskRetry(const QString&, const QString&) override {
        ++asked;
        return true;
    }
    void ShowError(const QString&, const QString& description) override { errors.append(description); }
    int asked = 0;
    QStringList errors;
};

TEST(ServerRestartTest, WorkingSetSurvivesAStoppedServerAndRecovers) {
    if (!PostgresUnavailableReason().isEmpty()) GTEST_SKIP() << PostgresUnavailableReason().toStdString();
    PrivateServer server;
    ASSERT_TRUE(server.Ok());
    SyncHarness harness;
    auto& [log, journal, frame, term, models, hub, sync] = harness;
    frame.onReload = [&harness] { harness.sync.hDbCheckEvent.Set(); };

    TestDatabase db(DbProvider::PostgreSQL, server.ServerString());
    DbConnection writer;
    writer.Open(db.ConnectionString());
    const int a = AddPerson(writer, QStringLiteral("A"));
    const int b = AddPerson(writer, QStringLiteral("B"));
    AddSample(writer, a, DescriptorBytes(1));
    AddSample(writer, b, DescriptorBytes(2));
    SetConnectionString(hub, db.ConnectionString());
    std::thread check = platform::StartNamedThread("DbCheckThread", [&harness] { harness.sync.DbCheckThreadFunc(); });
    ASSERT_TRUE(journal.WaitFor(QStringLiteral("Актуализация моделей"), 1, QStringLiteral("2 модели добавлены")));

    ASSERT_TRUE(server.Pause());
    sync.hDbCheckEvent.Set();
    ASSERT_TRUE(journal.WaitFor(QStringLiteral("Ошибка соединения с сервером")));
    EXPECT_EQ(journal.DatabaseState(), shell::DatabaseState::Error);
    {
        platform::CriticalSectionLock lock(recognition::PredictDispatchLock);
        EXPECT_EQ(models.Count(), 2u) << "recognition goes on with the last working set";
    }
    // The check thread posts the journal entry first and writes its log line right after.
    const auto logged = [&log] {
        return log.Text().contains(QStringLiteral("DbCheckThreadFunc(): Ошибка соединения с сервером '"));
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!logged() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(logged());

    ASSERT_TRUE(server.Resume());
    // The writer's session died with the server: the first attempt fails, Retry reopens it.
    AnswerRetry ui;
    auto deleteB = [&](DbTransaction&) {
        Exec(writer, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {b});
    };
    DbOpResult result;
    int attempts = 0;
    while ((result = RunDbOperation("HandleDeleteDbPerson", DbOpKind::Change, ui, writer, db.ConnectionString(),
                                    deleteB)) == DbOpRetry &&
           ++attempts < 5) {
    }
    EXPECT_EQ(result, DbOpDone);
    EXPECT_EQ(ui.asked, 1);
    EXPECT_TRUE(log.Text().contains(QStringLiteral("HandleDeleteDbPerson() Exception: ")));

    sync.hDbCheckEvent.Set();
    ASSERT_TRUE(journal.WaitFor(QStringLiteral("База данных доступна"), 2));
    ASSERT_TRUE(journal.WaitFor(QStringLiteral("Актуализация моделей"), 1, QStringLiteral("1 модель удалена")));
    EXPECT_EQ(journal.DatabaseState(), shell::DatabaseState::Available);
    {
        platform::CriticalSectionLock lock(recognition::PredictDispatchLock);
        ASSERT_EQ(models.Count(), 1u);
        EXPECT_EQ(models.At(0)->personId, static_cast<uint32_t>(a));
    }
    term.Set();
    check.join();
}

// A server that stops answering in the middle of a statement, its connections left open: the
// statement fails, and neither closing the connection nor stopping the check thread waits for
// the server.
TEST(ServerRestartTest, ASilentServerHoldsUpNeitherCloseNorTheCheckThread) {
    if (!PostgresUnavailableReason().isEmpty()) GTEST_SKIP() << PostgresUnavailableReason().toStdString();
    PrivateServer server;
    ASSERT_TRUE(server.Ok());
    TestDatabase db(DbProvider::PostgreSQL, server.ServerString());
    // Whatever fails below, the server answers again before the databases and it are removed.
    const std::unique_ptr<PrivateServer, void (*)(PrivateServer*)> thawAtEnd(&server,
                                                                             [](PrivateServer* s) { s->Thaw(); });
    const auto bound = kCloseWait + std::chrono::seconds(5);
    {
        DbConnection connection;
        connection.Open(db.ConnectionString());
        EXPECT_EQ(QueryInt(connection, QStringLiteral("SELECT CAST(setting AS int) AS N FROM pg_settings WHERE "
                                                      "name = 'statement_timeout'")),
                  std::chrono::milliseconds(kStatementTimeout).count());
        DbCommand slow(connection);
        slow.SetCommandText(QStringLiteral("SELECT pg_sleep(3) AS N"));
        slow.Execute(kExecSelectAsync);
        ASSERT_TRUE(server.Freeze());
        EXPECT_TRUE(slow.IsExecuting());
        auto closing = std::async(std::launch::async, [&connection] { connection.Close(); });
        const bool closed = closing.wait_for(bound) == std::future_status::ready;
        if (!closed) server.Thaw();
        closing.wait();
        EXPECT_TRUE(closed) << "Close waited for the silent server";
        EXPECT_THROW(slow.Recordset(), DbError) << "the statement on the silent server did not fail";
        EXPECT_FALSE(connection.IsOpen());
        ASSERT_TRUE(server.Thaw());
    }

    SyncHarness harness;
    auto& [log, journal, frame, term, models, hub, sync] = harness;
    DbConnection writer;
    writer.Open(db.ConnectionString());
    AddSample(writer, AddPerson(writer, QStringLiteral("A")), DescriptorBytes(1));
    SetConnectionString(hub, db.ConnectionString());
    std::thread check = platform::StartNamedThread("DbCheckThread", [&harness] { harness.sync.DbCheckThreadFunc(); });
    ASSERT_TRUE(journal.WaitFor(QStringLiteral("Актуализация моделей"), 1, QStringLiteral("1 модель добавлена")));
    ASSERT_TRUE(frame.WaitFor(FrameRecorder::Call::ModelLoadingDone));
    // Another session's lock holds the next pass in its persons query; then the server goes silent.
    DbConnection blocker;
    blocker.Open(db.ConnectionString());
    Exec(blocker, QStringLiteral("BEGIN"));
    Exec(blocker, QStringLiteral("LOCK TABLE PERSONS IN ACCESS EXCLUSIVE MODE"));
    frame.Clear();
    sync.hDbCheckEvent.Set();
    ASSERT_TRUE(frame.WaitFor(FrameRecorder::Call::PassStarted));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(server.Freeze());

    log.Mark();
    term.Set();
    auto joining = std::async(std::launch::async, [&check] { check.join(); });
    const bool ended = joining.wait_for(bound) == std::future_status::ready;
    if (!ended) {
        // Lets the held-up pass go on, so that the test fails instead of hanging.
        server.Thaw();
        blocker.Close();
    }
    joining.wait();
    EXPECT_TRUE(ended) << "the check thread waited for the silent server";
    EXPECT_TRUE(log.SinceMark().contains(QStringLiteral("DbCheckThreadFunc completed.")));
    {
        platform::CriticalSectionLock lock(recognition::PredictDispatchLock);
        EXPECT_EQ(models.Count(), 1u) << "an abandoned pass changes nothing";
    }
    ASSERT_TRUE(server.Thaw());
    writer.Close();
    blocker.Close();
}

}  // namespace
}  // namespace dbtest
