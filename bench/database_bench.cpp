// Working model synchronization: the first load of 10,000 persons with 4 samples each, and a
// pass in which nothing changed, on SQLite and on PostgreSQL. Each figure is printed beside a
// baseline measured in the same run on the same database: the first load beside the straightforward
// person-by-person read of the same rows (the persons query, then one samples query per person),
// the unchanged pass beside reading the persons query alone.

#include "app/database/db_operation.h"
#include "app/database/db_schema.h"
#include "app/database/model_sync.h"
#include "platform/log.h"
#include "settings/settings_hub.h"
#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/person_by_person.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace database;

constexpr int kPersons = 10000;
constexpr int kSamplesEach = 4;

class NullFrame : public MainFrameSink {
public:
    void PassStarted(int) override {}
    void PersonsTotal(int) override {}
    void PersonsProgress(int, int) override {}
    void ApplyingChanges() override {}
    void ModelCount(int) override {}
    void ModelLoadingDone() override {}
    void ReloadModels() override {}
    shell::DatabaseState JournalDatabaseState() const override { return shell::DatabaseState::Available; }
};

// One filled database per provider, made on first use; dropped before main returns.
std::map<DbProvider, std::unique_ptr<dbtest::TestDatabase>> databases;

dbtest::TestDatabase* Filled(DbProvider provider) {
    auto& slot = databases[provider];
    if (slot) return slot.get();
    slot = std::make_unique<dbtest::TestDatabase>(provider);
    DbConnection connection;
    connection.Open(slot->ConnectionString());
    DbTransaction transaction(connection);
    transaction.Begin();
    for (int i = 0; i < kPersons; ++i) {
        dbtest::Exec(
            connection,
            QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, FORENAME, Gender) VALUES (?, ?, ?, ?, ?)"),
            {kSamplesEach, i % 3, QStringLiteral("Фамилия%1").arg(i), QStringLiteral("Имя"), i % 2});
    }
    for (int s = 0; s < kSamplesEach; ++s) {
        dbtest::Exec(
            connection,
            QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) SELECT PERSON_ID, ?, ? FROM PERSONS"),
            {QByteArray(2000, 'j'), dbtest::DescriptorBytes(static_cast<float>(s))});
    }
    transaction.Commit();
    return slot.get();
}

// Wall times of every timed step, by figure and provider, for the ratios printed at the end.
std::map<std::pair<std::string, DbProvider>, std::vector<double>> g_millis;

template <typename Step>
void Timed(const char* figure, DbProvider provider, Step&& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    g_millis[{figure, provider}].push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Skip(benchmark::State& state, DbProvider provider) {
    if (provider == DbProvider::PostgreSQL && !dbtest::PostgresUnavailableReason().isEmpty()) {
        state.SkipWithError(dbtest::PostgresUnavailableReason().toUtf8().constData());
        return true;
    }
    return false;
}

void FirstLoad(benchmark::State& state, DbProvider provider) {
    if (Skip(state, provider)) return;
    dbtest::TestDatabase* db = Filled(provider);
    platform::Event term(true, false);
    NullFrame frame;
    const shell::Journal journal;  // no sink: the pass's reports are dropped
    const settings::SettingsHub hub;  // the passes are given their connections
    for (auto _ : state) {
        state.PauseTiming();
        auto models = std::make_unique<recognition::PersonModelSortedList>();
        auto sync = std::make_unique<ModelSynchronizer>(term, frame, journal, *models, hub);
        DbConnection connection;
        connection.Open(db->ConnectionString());
        state.ResumeTiming();
        Timed("first load", provider, [&] { sync->ActualizePersonModelList(connection); });
        state.PauseTiming();
        if (models->Count() != static_cast<uint32_t>(kPersons)) state.SkipWithError("not every person was loaded");
        sync.reset();
        models.reset();
        state.ResumeTiming();
    }
    state.counters["persons"] = kPersons;
}

void UnchangedPass(benchmark::State& state, DbProvider provider) {
    if (Skip(state, provider)) return;
    dbtest::TestDatabase* db = Filled(provider);
    platform::Event term(true, false);
    NullFrame frame;
    const shell::Journal journal;  // no sink: the pass's reports are dropped
    recognition::PersonModelSortedList models;
    const settings::SettingsHub hub;  // the passes are given their connections
    ModelSynchronizer sync(term, frame, journal, models, hub);
    DbConnection connection;
    connection.Open(db->ConnectionString());
    sync.ActualizePersonModelList(connection);
    for (auto _ : state) Timed("unchanged pass", provider, [&] { sync.ActualizePersonModelList(connection); });
    if (models.Count() != static_cast<uint32_t>(kPersons)) state.SkipWithError("not every person was loaded");
}

// The baselines: what the old first load read, person by person, and the persons query alone.
void PersonByPersonRead(benchmark::State& state, DbProvider provider) {
    if (Skip(state, provider)) return;
    dbtest::TestDatabase* db = Filled(provider);
    DbConnection connection;
    connection.Open(db->ConnectionString());
    for (auto _ : state) {
        recognition::PersonModelSortedList models;
        Timed("person-by-person read", provider, [&] { models = dbtest::PersonByPersonModels(connection); });
        if (models.Count() != static_cast<uint32_t>(kPersons)) state.SkipWithError("not every person was read");
    }
}

void PersonsQueryRead(benchmark::State& state, DbProvider provider) {
    if (Skip(state, provider)) return;
    dbtest::TestDatabase* db = Filled(provider);
    DbConnection connection;
    connection.Open(db->ConnectionString());
    for (auto _ : state) {
        Timed("persons query read", provider, [&] {
            if (dbtest::ReadPersonRows(connection).size() != static_cast<size_t>(kPersons)) {
                state.SkipWithError("not every person was read");
            }
        });
    }
}

void PrintRatios() {
    for (DbProvider provider : {DbProvider::SQLite, DbProvider::PostgreSQL}) {
        const std::string name = ProviderName(provider).toStdString();
        for (const auto& [figure, baseline] :
             {std::pair{"first load", "person-by-person read"}, std::pair{"unchanged pass", "persons query read"}}) {
            const double ours = Median(g_millis[{figure, provider}]);
            const double base = Median(g_millis[{baseline, provider}]);
            if (ours == 0 || base == 0) continue;
            std::printf("%-10s %-15s median %8.1f ms = %.2f x the %s (%.1f ms)\n", name.c_str(), figure, ours,
                        ours / base, baseline, base);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir logDir;
    platform::SetLogFile(logDir.filePath(QStringLiteral("Ostrovid.log")),
                         logDir.filePath(QStringLiteral("Ostrovid.log.1")));
    for (DbProvider provider : {DbProvider::SQLite, DbProvider::PostgreSQL}) {
        const std::string name = ProviderName(provider).toStdString();
        benchmark::RegisterBenchmark(("ModelSync/FirstLoad10000x4/" + name).c_str(), FirstLoad, provider)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        benchmark::RegisterBenchmark(("ModelSync/PersonByPersonRead10000x4/" + name).c_str(), PersonByPersonRead,
                                     provider)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        benchmark::RegisterBenchmark(("ModelSync/UnchangedPass10000/" + name).c_str(), UnchangedPass, provider)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10);
        benchmark::RegisterBenchmark(("ModelSync/PersonsQueryRead10000/" + name).c_str(), PersonsQueryRead, provider)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    databases.clear();
    return 0;
}
