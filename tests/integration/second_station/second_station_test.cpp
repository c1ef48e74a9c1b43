// A second station: Ostrovid running as a process of its own on a PostgreSQL database, while
// this process moves a sample between two persons as the browser's paste does. The program's
// working model set follows in its next database check.

#include "app/database/model_sync.h"
#include "app/database/sample_ops.h"
#include "platform/registry.h"
#include "settings/registry_names.h"
#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"
#include "tests/integration/program/program_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using database::DbProvider;

// Start-up with the service and the first model load.
constexpr auto kFirstPassLimit = 120s;
// A change made just after a pass is read in the pass after the check interval; the pass itself
// (connect, the persons query, one person's samples) takes well under this on a local server.
constexpr auto kPassAllowance = 5s;

const QString kPassExit = QStringLiteral("ActualizePersonModelList() exit");

QString AddedLine(int personId) {
    return QStringLiteral("ActualizePersonModelList(): Добавление новой модели персоны ID=%1 в список рабочих моделей")
        .arg(personId);
}
QString RemovedLine(int personId) {
    return QStringLiteral(
               "ActualizePersonModelList(): Модель персоны ID=%1 теперь отсутствует в БД. Удаление из списка "
               "рабочих моделей.")
        .arg(personId);
}
QString SamplesUpdatedLine(int personId) {
    return QStringLiteral("ActualizePersonModelList(): Обновлены образцы модели персоны ID=%1 в рабочей модели")
        .arg(personId);
}

class SecondStation : public ::testing::Test {
protected:
    void SetUp() override {
        if (!dbtest::PostgresUnavailableReason().isEmpty())
            GTEST_SKIP() << dbtest::PostgresUnavailableReason().toStdString();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        db_ = std::make_unique<dbtest::TestDatabase>(DbProvider::PostgreSQL);
        connection_.Open(db_->ConnectionString());
        // After the server: a private one must not start inside the program's private folders.
        env_ = std::make_unique<ProgramEnvironment>();
    }

    void TearDown() override {
        if (!env_) return;
        if (HasFailure())
            for (const QString& line : env_->Log()) std::fprintf(stderr, "log: %s\n", qUtf8Printable(line));
        StopChildren({&program_, &service_});
    }

    void StoreConnectionString() {
        platform::RegistryStore store(env_->StorePath());
        namespace rn = settings::regnames;
        ASSERT_EQ(store.CreateKey(rn::kAppKey), 0);
        ASSERT_EQ(store.SetString(rn::kAppKey, rn::app::kDbConnectionString, db_->ConnectionString()), 0);
        ASSERT_EQ(store.Save(), 0);
    }

    // Waits until the log holds every one of `lines`; the time it took, or nothing past `limit`.
    std::optional<std::chrono::duration<double>> WaitForLines(const QStringList& lines,
                                                              std::chrono::milliseconds limit) const {
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < limit) {
            const QStringList log = env_->Log();
            if (std::all_of(lines.cbegin(), lines.cend(), [&](const QString& line) { return log.contains(line); }))
                return std::chrono::steady_clock::now() - start;
            std::this_thread::sleep_for(50ms);
        }
        return std::nullopt;
    }

    std::unique_ptr<dbtest::TestDatabase> db_;
    std::unique_ptr<ProgramEnvironment> env_;
    database::DbConnection connection_;
    testsupport::ChildProcess service_;
    testsupport::ChildProcess program_;
};

TEST_F(SecondStation, SeesASampleMovedBetweenPersonsWithinOneCheckPeriod) {
    const int source = dbtest::AddPerson(connection_, "Соколов");
    dbtest::AddSample(connection_, source, dbtest::DescriptorBytes(0.25f));
    const int destination = dbtest::AddPerson(connection_, "Лебедев");
    dbtest::AddSample(connection_, destination, dbtest::DescriptorBytes(0.75f));
    const int moved = dbtest::QueryInt(
        connection_, QStringLiteral("SELECT SAMPLE_ID AS N FROM SAMPLES WHERE PERSON_ID = ?"), {source});
    ASSERT_NO_FATAL_FAILURE(StoreConnectionString());

    ASSERT_TRUE(service_.Start({OSTROVID_SVC_BINARY, "-debug"}, -1, env_->Path("svc.out")));
    ASSERT_TRUE(program_.Start({OSTROVID_PROGRAM_BINARY}, -1, env_->Path("program.out")));
    ASSERT_TRUE(WaitForLines({AddedLine(source), AddedLine(destination), kPassExit}, kFirstPassLimit));

    // Right after a pass: the longest wait a change can have.
    dbtest::ScriptedDialogs dialogs;
    dbtest::JournalRecorder journal;
    const database::DbSession session{connection_, dialogs, dialogs, db_->ConnectionString(), journal.Journal()};
    ASSERT_EQ(database::HandleDbPastePersonSample(session, source, destination, moved), database::DbOpDone);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join(u'\n').toStdString();

    const auto seen = WaitForLines({RemovedLine(source), SamplesUpdatedLine(destination)},
                                   database::kDbCheckInterval + kPassAllowance);
    ASSERT_TRUE(seen.has_value()) << "the program did not follow the change";
    std::printf(
        "the second station followed the change after %.1f s (check interval %lld s)\n", seen->count(),
        static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(database::kDbCheckInterval).count()));
}

}  // namespace
