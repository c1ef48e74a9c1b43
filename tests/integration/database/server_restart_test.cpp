// A PostgreSQL server that goes away and comes back: the working set stays in use while it is
// gone, and both the check thread and a retried operation recover once it is back.

#include "db_test_support.h"

#include "app/database/db_operation.h"
#include "app/database/model_sync.h"
#include "app/recognition/predict_pool.h"
#include "platform/fixedtext.h"
#include "settings/settings_state.h"

#include <gtest/gtest.h>

#include <chrono>
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
    auto& [log, journal, frame, term, models, sync] = harness;
    frame.onReload = [&harness] { harness.sync.hDbCheckEvent.Set(); };

    TestDatabase db(DbProvider::PostgreSQL, server.ServerString());
    DbConnection writer;
    writer.Open(db.ConnectionString());
    const int a = AddPerson(writer, QStringLiteral("A"));
    const int b = AddPerson(writer, QStringLiteral("B"));
    AddSample(writer, a, DescriptorBytes(1));
    AddSample(writer, b, DescriptorBytes(2));
    {
        platform::CriticalSectionLock lock(settings::SettingsLock());
        platform::CopyToFixed(settings::g_Settings().DbConnectionString, db.ConnectionString());
    }
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

}  // namespace
}  // namespace dbtest
