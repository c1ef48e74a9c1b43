#pragma once
// Test databases on both providers, data helpers, and sinks that record what the database code
// reports.

#include "app/database/db_access.h"
#include "app/database/main_frame_sink.h"
#include "app/database/model_sync.h"
#include "app/shell/journal.h"
#include "settings/settings_hub.h"

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace dbtest {

using database::DbProvider;

// The server-level string of the PostgreSQL test server: the one ./test.sh started
// (OSTROVID_TEST_PG), else a private one started on first use. Empty when no server binaries exist.
QString PostgresServerString();
// Why PostgreSQL tests cannot run (for GTEST_SKIP), empty when they can.
QString PostgresUnavailableReason();

// A private PostgreSQL server in its own folder, for tests that stop and start it.
class PrivateServer {
public:
    PrivateServer();  // starts it; Ok() tells whether that worked
    ~PrivateServer();
    bool Ok() const { return !serverString_.isEmpty(); }
    const QString& ServerString() const { return serverString_; }
    // Stops the server (its sessions end) and starts it again.
    bool Pause();
    bool Resume();
    // Stops the server's processes and lets them go on: its sessions stay open but nothing answers.
    bool Freeze();
    bool Thaw();

private:
    QTemporaryDir dir_;
    QString serverString_;
};

// Names the instances of provider-parameterized tests.
inline std::string ProviderTestName(const ::testing::TestParamInfo<DbProvider>& param) {
    return database::ProviderName(param.param).toStdString();
}

// A fresh database with the schema; dropped (or its folder deleted) at the end.
class TestDatabase {
public:
    // serverString: the PostgreSQL server to use (default: PostgresServerString()).
    explicit TestDatabase(DbProvider provider, const QString& serverString = {});
    ~TestDatabase();
    const QString& ConnectionString() const { return connectionString_; }
    DbProvider Provider() const { return provider_; }

private:
    DbProvider provider_;
    QString serverString_;
    QString name_;
    QString connectionString_;
    std::unique_ptr<QTemporaryDir> dir_;
};

// The base of the provider-parameterized tests: a fresh database for each test, which is skipped
// on PostgreSQL when no server can run here. A derived SetUp calls this one first and returns
// when IsSkipped().
class ProviderTest : public ::testing::TestWithParam<DbProvider> {
protected:
    void SetUp() override {
        if (GetParam() == DbProvider::PostgreSQL && !PostgresUnavailableReason().isEmpty()) {
            GTEST_SKIP() << PostgresUnavailableReason().toStdString();
        }
        db_ = std::make_unique<TestDatabase>(GetParam());
    }

    std::unique_ptr<TestDatabase> db_;
};

// Runs one statement with integer/text/binary values bound in order; throws DbError.
void Exec(database::DbConnection& connection, const QString& sql, const std::vector<QVariant>& values = {});
// The first column of the first row as an integer.
int QueryInt(database::DbConnection& connection, const QString& sql, const std::vector<QVariant>& values = {});

// Inserts a person (STATE 0) and returns its id.
int AddPerson(database::DbConnection& connection, const QString& surname, int listNumber = 0, int gender = 1);
// A sample with its descriptor, and the person's STATE + 1, in one transaction.
void AddSample(database::DbConnection& connection, int personId, const QByteArray& descriptor);
// Deletes every sample of the person and bumps its STATE.
void DeleteSamples(database::DbConnection& connection, int personId);
// The 512-byte storage form of a descriptor whose values derive from seed.
QByteArray DescriptorBytes(float seed);

// Records the entries posted to its journal.
class JournalRecorder : public shell::JournalSink {
public:
    struct Entry {
        shell::JournalTab tab;
        shell::EntryIcon icon;
        QString event;
        QString description;
        shell::DatabaseState databaseState;
    };
    // The journal to hand to the code under test.
    const shell::Journal& Journal() const { return journal_; }
    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override;
    std::vector<Entry> Entries() const;
    int Count(const QString& event, const QString& description = {}) const;
    // Waits until an entry with that event (and description, when given) has arrived count times.
    bool WaitFor(const QString& event, int count = 1, const QString& description = {},
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    shell::DatabaseState DatabaseState() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Entry> entries_;
    shell::DatabaseState databaseState_ = shell::DatabaseState::Unknown;
    shell::Journal journal_{this};
};

// Records the main-frame notifications in order; answers the journal's database state from a
// recorder and, like the main frame, runs onReload on ReloadModels.
class FrameRecorder : public database::MainFrameSink {
public:
    enum class Call {
        PassStarted,
        PersonsTotal,
        PersonsProgress,
        ApplyingChanges,
        ModelCount,
        ModelLoadingDone,
        ReloadModels,
    };
    struct Notification {
        Call call;
        std::vector<int> arguments;
    };
    explicit FrameRecorder(const JournalRecorder& journal) : journal_(journal) {}
    void PassStarted(int rememberedPersons) override { Record(Call::PassStarted, {rememberedPersons}); }
    void PersonsTotal(int total) override { Record(Call::PersonsTotal, {total}); }
    void PersonsProgress(int done, int total) override { Record(Call::PersonsProgress, {done, total}); }
    void ApplyingChanges() override { Record(Call::ApplyingChanges, {}); }
    void ModelCount(int models) override { Record(Call::ModelCount, {models}); }
    void ModelLoadingDone() override { Record(Call::ModelLoadingDone, {}); }
    void ReloadModels() override;
    shell::DatabaseState JournalDatabaseState() const override { return journal_.DatabaseState(); }
    std::vector<Notification> Notifications() const;
    int Count(Call call) const;
    bool WaitFor(Call call, int count = 1, std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    void Clear();
    std::function<void()> onReload;

private:
    void Record(Call call, std::vector<int> arguments);
    int CountLocked(Call call) const;

    const JournalRecorder& journal_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Notification> notifications_;
};

// The diagnostic log of the test process, in a temporary file.
class LogCapture {
public:
    LogCapture();
    QString Text() const;
    // The lines written since the last Mark().
    QString SinceMark() const;
    void Mark();

private:
    QTemporaryDir dir_;
    QString path_;
    qsizetype mark_ = 0;
};

// Publishes `text` as the connection string the check thread reads.
void SetConnectionString(settings::SettingsHub& hub, const QString& text);

// A synchronizer of its own working set and settings, with everything it reports recorded.
struct SyncHarness {
    LogCapture log;
    JournalRecorder journal;
    FrameRecorder frame{journal};
    platform::Event term{true, false};
    recognition::PersonModelSortedList models;
    settings::SettingsHub hub;
    database::ModelSynchronizer sync{term, frame, journal.Journal(), models, hub};
};

}  // namespace dbtest
