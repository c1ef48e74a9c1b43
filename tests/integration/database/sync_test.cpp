// Working model synchronization against real databases of both providers.

#include "db_test_support.h"

#include "app/database/db_schema.h"
#include "app/database/model_sync.h"
#include "app/recognition/predict_pool.h"
#include "platform/fixedtext.h"
#include "settings/settings_hub.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <thread>
#include <utility>

namespace dbtest {
namespace {

using namespace database;
using recognition::PersonModel;
using Call = FrameRecorder::Call;

class SyncTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        writer_.Open(db_->ConnectionString());
        SetConnectionString(hub_, db_->ConnectionString());
        frame_.onReload = [this] { sync_.hDbCheckEvent.Set(); };
    }
    void TearDown() override {
        term_.Set();
        if (checkThread_.joinable()) checkThread_.join();
    }

    void Pass() {
        DbConnection connection;
        connection.Open(db_->ConnectionString());
        sync_.ActualizePersonModelList(connection);
    }

    // The working set's ids, read under the lock its writers hold.
    std::vector<uint32_t> Ids() {
        platform::CriticalSectionLock lock(recognition::PredictDispatchLock);
        std::vector<uint32_t> ids;
        for (const auto& model : models_) ids.push_back(model->personId);
        return ids;
    }
    PersonModel* Model(uint32_t id) {
        platform::CriticalSectionLock lock(recognition::PredictDispatchLock);
        return models_.Find(id);
    }
    int Reported(const QString& description) {
        return journal_.Count(QStringLiteral("Актуализация моделей"), description);
    }

    void StartCheckThread() {
        checkThread_ = platform::StartNamedThread("DbCheckThread", [this] { sync_.DbCheckThreadFunc(); });
    }

    LogCapture log_;
    JournalRecorder journal_;
    FrameRecorder frame_{journal_};
    platform::Event term_{true, false};
    recognition::PersonModelSortedList models_;
    settings::SettingsHub hub_;
    ModelSynchronizer sync_{term_, frame_, journal_.Journal(), models_, hub_};
    DbConnection writer_;
    std::thread checkThread_;
};

TEST_P(SyncTest, FirstSampleAddsOneModel) {
    const int person = AddPerson(writer_, QStringLiteral("Иванов"));
    Pass();
    EXPECT_TRUE(Ids().empty()) << "a person without samples never enters the working set";
    EXPECT_EQ(frame_.Count(Call::ApplyingChanges), 0);

    AddSample(writer_, person, DescriptorBytes(0.25f));
    frame_.Clear();
    Pass();
    EXPECT_EQ(Ids(), std::vector<uint32_t>{static_cast<uint32_t>(person)});
    EXPECT_EQ(Reported(QStringLiteral("1 модель добавлена")), 1);
    PersonModel* model = Model(person);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(platform::FromFixed(model->surname), QStringLiteral("Иванов"));
    EXPECT_EQ(model->state, 1);
    ASSERT_EQ(model->descriptors.Count(), 1u);
    EXPECT_EQ(model->descriptors.At(0)->ToStorage(), DescriptorBytes(0.25f));

    const auto calls = frame_.Notifications();
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(calls.front().call, Call::PassStarted);
    EXPECT_EQ(calls[1].call, Call::PersonsTotal);
    EXPECT_EQ(calls[1].arguments, std::vector<int>{1});
    EXPECT_EQ(calls[2].call, Call::PersonsProgress);
    EXPECT_EQ(calls[2].arguments, (std::vector<int>{1, 1}));
    EXPECT_EQ(calls.back().call, Call::ModelLoadingDone);
    EXPECT_EQ(frame_.Count(Call::ModelCount), 1);
}

TEST_P(SyncTest, RenameUpdatesParametersWithoutReadingDescriptors) {
    const int person = AddPerson(writer_, QStringLiteral("Петров"));
    AddSample(writer_, person, DescriptorBytes(1));
    AddSample(writer_, person, DescriptorBytes(2));
    Pass();
    PersonModel* before = Model(person);
    ASSERT_NE(before, nullptr);
    const recognition::FaceDescriptor* descriptor = before->descriptors.At(0);

    // Nothing changed: nothing is applied or reported.
    journal_.Clear();
    frame_.Clear();
    Pass();
    EXPECT_EQ(frame_.Count(Call::ApplyingChanges), 0);
    EXPECT_TRUE(journal_.Entries().empty());

    Exec(writer_, QStringLiteral("UPDATE PERSONS SET SURNAME = ?, FORENAME = ?, LIST_NUM = 2 WHERE PERSON_ID = ?"),
         {QStringLiteral("Петрова"), QStringLiteral("Анна"), person});
    log_.Mark();
    Pass();
    EXPECT_EQ(Reported(QStringLiteral("Обновлены параметры 1 модели")), 1);
    EXPECT_FALSE(log_.SinceMark().contains(QStringLiteral("загрузка из БД образцов")))
        << log_.SinceMark().toStdString();
    PersonModel* after = Model(person);
    ASSERT_EQ(after, before);
    EXPECT_EQ(after->descriptors.At(0), descriptor);
    EXPECT_EQ(platform::FromFixed(after->surname), QStringLiteral("Петрова"));
    EXPECT_EQ(platform::FromFixed(after->forename), QStringLiteral("Анна"));
    EXPECT_EQ(after->listNumber, 2);

    // Case alone is a change too.
    Exec(writer_, QStringLiteral("UPDATE PERSONS SET SURNAME = ? WHERE PERSON_ID = ?"),
         {QStringLiteral("ПЕТРОВА"), person});
    Pass();
    EXPECT_EQ(platform::FromFixed(Model(person)->surname), QStringLiteral("ПЕТРОВА"));
}

TEST_P(SyncTest, ChangedSamplesReplaceTheModelAndRemovalsLeaveTheSet) {
    const int a = AddPerson(writer_, QStringLiteral("A"));
    const int b = AddPerson(writer_, QStringLiteral("B"));
    const int c = AddPerson(writer_, QStringLiteral("C"));
    for (int id : {a, b, c}) AddSample(writer_, id, DescriptorBytes(static_cast<float>(id)));
    Pass();
    EXPECT_EQ(Reported(QStringLiteral("3 модели добавлены")), 1);

    AddSample(writer_, a, DescriptorBytes(10));
    Pass();
    EXPECT_EQ(Reported(QStringLiteral("Обновлены образцы 1 модели")), 1);
    EXPECT_EQ(Model(a)->descriptors.Count(), 2u);
    EXPECT_EQ(Model(a)->state, 2);

    DeleteSamples(writer_, b);
    Pass();
    EXPECT_EQ(Reported(QStringLiteral("1 модель удалена")), 1);
    EXPECT_EQ(Ids(), (std::vector<uint32_t>{static_cast<uint32_t>(a), static_cast<uint32_t>(c)}));

    Exec(writer_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {c});
    Pass();
    EXPECT_EQ(Reported(QStringLiteral("1 модель удалена")), 2);
    EXPECT_EQ(Ids(), std::vector<uint32_t>{static_cast<uint32_t>(a)});
    EXPECT_EQ(sync_.PrevDataList.Count(), 1u);

    // B gets a sample again: it comes back.
    AddSample(writer_, b, DescriptorBytes(20));
    Pass();
    EXPECT_EQ(Ids(), (std::vector<uint32_t>{static_cast<uint32_t>(a), static_cast<uint32_t>(b)}));
}

TEST_P(SyncTest, WrongSizedDescriptorStopsThePassAndRemovesNothing) {
    for (int size : {511, 513}) {
        SCOPED_TRACE(size);
        recognition::PersonModelSortedList models;
        ModelSynchronizer sync(term_, frame_, journal_.Journal(), models, hub_);
        TestDatabase db(GetParam());
        DbConnection writer;
        writer.Open(db.ConnectionString());
        const int a = AddPerson(writer, QStringLiteral("A"));
        const int b = AddPerson(writer, QStringLiteral("B"));
        AddSample(writer, a, DescriptorBytes(1));
        AddSample(writer, b, DescriptorBytes(2));
        auto pass = [&] {
            DbConnection connection;
            connection.Open(db.ConnectionString());
            sync.ActualizePersonModelList(connection);
        };
        pass();
        ASSERT_EQ(models.Count(), 2u);

        Exec(writer, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {b});
        const int broken = AddPerson(writer, QStringLiteral("Broken"));
        AddSample(writer, broken,
                  DescriptorBytes(3).left(std::min(size, 512)) + QByteArray(size > 512 ? 1 : 0, '\x7f'));
        const int later = AddPerson(writer, QStringLiteral("Later"));
        AddSample(writer, later, DescriptorBytes(4));
        journal_.Clear();
        log_.Mark();
        pass();
        EXPECT_EQ(models.Count(), 2u) << "B stays, Later waits";
        EXPECT_NE(models.Find(b), nullptr);
        EXPECT_EQ(models.Find(later), nullptr);
        const auto entries = journal_.Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries[0].tab, shell::JournalTab::Database);
        EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::DatabaseIcon::Error));
        EXPECT_EQ(entries[0].databaseState, shell::DatabaseState::Error);
        EXPECT_EQ(entries[0].description,
                  QStringLiteral(
                      "Запрос значения поля DESCRIPTOR таблицы SAMPLES вернул бинарные данные неправильного размера"));
        EXPECT_TRUE(log_.SinceMark().contains(QStringLiteral("бинарные данные неправильного размера!")));

        Exec(writer, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {broken});
        pass();
        EXPECT_EQ(models.Count(), 2u);
        EXPECT_EQ(models.Find(b), nullptr);
        EXPECT_NE(models.Find(later), nullptr);
    }
}

TEST_P(SyncTest, LongTextsAreCutToTheirFieldsAndLogged) {
    const QString surname = QString(62, QLatin1Char('S')) + QStringLiteral("😀");  // 64 units, 63 characters
    const QString alias(16, QLatin1Char('a'));
    const int person = AddPerson(writer_, surname);
    Exec(writer_, QStringLiteral("UPDATE PERSONS SET ALIAS = ?, SPEECH = ? WHERE PERSON_ID = ?"),
         {alias, QString(256, QLatin1Char('x')), person});
    AddSample(writer_, person, DescriptorBytes(1));
    Pass();
    PersonModel* model = Model(person);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(platform::FromFixed(model->surname), QString(62, QLatin1Char('S'))) << "a surrogate pair is not split";
    EXPECT_EQ(platform::FromFixed(model->alias), QString(15, QLatin1Char('a')));
    EXPECT_EQ(platform::FromFixed(model->speech).size(), 255);
    const QString log = log_.Text();
    EXPECT_TRUE(log.contains(QStringLiteral("Значение поля SURNAME персоны ID=%1").arg(person))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Значение поля ALIAS")));

    // The cut value is what is remembered: the next pass sees no change.
    journal_.Clear();
    Pass();
    EXPECT_TRUE(journal_.Entries().empty());
}

TEST_P(SyncTest, ChangesWaitForTheDispatchLock) {
    const int person = AddPerson(writer_, QStringLiteral("A"));
    AddSample(writer_, person, DescriptorBytes(1));
    recognition::PredictDispatchLock.Enter();
    std::thread pass([this] { Pass(); });
    ASSERT_TRUE(frame_.WaitFor(Call::ApplyingChanges));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(models_.Empty()) << "the set changed outside the dispatch lock";
    EXPECT_EQ(frame_.Count(Call::ModelCount), 0);
    recognition::PredictDispatchLock.Leave();
    pass.join();
    EXPECT_EQ(Ids().size(), 1u);
}

TEST_P(SyncTest, CheckThreadReportsEachStatusOnce) {
    SetConnectionString(hub_, {});
    StartCheckThread();
    ASSERT_TRUE(journal_.WaitFor(QStringLiteral("Не задана строка соединения")));
    EXPECT_EQ(journal_.DatabaseState(), shell::DatabaseState::NotConfigured);
    sync_.hDbCheckEvent.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const QString unreachable =
        GetParam() == DbProvider::SQLite
            ? QStringLiteral("Provider=SQLite;Data Source=/nonexistent/Ostrovid.db")
            : ServerLevelString(db_->ConnectionString()) + QStringLiteral(";Initial Catalog=no_such_db");
    SetConnectionString(hub_, unreachable);
    sync_.hDbCheckEvent.Set();
    ASSERT_TRUE(journal_.WaitFor(QStringLiteral("Ошибка соединения с сервером")));
    sync_.hDbCheckEvent.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    Exec(writer_, QStringLiteral("UPDATE VERSIONS SET MAJORNUMBER = 1"));
    SetConnectionString(hub_, db_->ConnectionString());
    sync_.hDbCheckEvent.Set();
    ASSERT_TRUE(journal_.WaitFor(kVersionTooLowText));
    EXPECT_EQ(journal_.DatabaseState(), shell::DatabaseState::Error);
    Exec(writer_, QStringLiteral("DELETE FROM VERSIONS"));
    sync_.hDbCheckEvent.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    Exec(writer_, QStringLiteral("INSERT INTO VERSIONS (NAME, MAJORNUMBER, MINORNUMBER) VALUES ('DATABASE', 2, 0)"));
    const int person = AddPerson(writer_, QStringLiteral("A"));
    AddSample(writer_, person, DescriptorBytes(1));
    sync_.hDbCheckEvent.Set();
    ASSERT_TRUE(journal_.WaitFor(QStringLiteral("База данных доступна")));
    ASSERT_TRUE(journal_.WaitFor(QStringLiteral("Актуализация моделей"), 1, QStringLiteral("1 модель добавлена")));
    EXPECT_EQ(journal_.DatabaseState(), shell::DatabaseState::Available);

    Exec(writer_, QStringLiteral("DROP TABLE VERSIONS"));
    sync_.hDbCheckEvent.Set();
    ASSERT_TRUE(journal_.WaitFor(QStringLiteral("Ошибка запроса версии базы данных")));
    EXPECT_EQ(Ids().size(), 1u) << "a failed check keeps the working set";

    term_.Set();
    checkThread_.join();
    EXPECT_EQ(journal_.Count(QStringLiteral("Не задана строка соединения")), 1);
    EXPECT_EQ(journal_.Count(QStringLiteral("Ошибка соединения с сервером")), 1);
    EXPECT_EQ(journal_.Count(kVersionTooLowText), 1);
    EXPECT_EQ(journal_.Count(QStringLiteral("База данных доступна")), 1);
    const QString log = log_.Text();
    for (const char* line :
         {"DbCheckThreadFunc started.", "Не задана строка соединения с базой данных",
          "DbCheckThreadFunc(): Ошибка соединения с сервером '",
          "DbCheckThreadFunc(): Версия базы данных менее 2.0 или отсутствует '",
          "DbCheckThreadFunc(): База данных доступна", "DbCheckThreadFunc(): Ошибка запроса версии базы данных '",
          "DbCheckThreadFunc(): TermEvent signaled.", "DbCheckThreadFunc completed."}) {
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line;
    }
    if (GetParam() == DbProvider::PostgreSQL) {
        EXPECT_FALSE(log.contains(ParseConnectionString(db_->ConnectionString())->password))
            << "passwords stay out of the log";
    }
}

// The pass waits for its persons query, which another session holds up with a lock.
TEST_P(SyncTest, ConnectionStringChangeDuringAPassReloadsFromTheNewDatabase) {
    const int a = AddPerson(writer_, QStringLiteral("Old"));
    AddSample(writer_, a, DescriptorBytes(1));
    TestDatabase other(GetParam());
    DbConnection otherWriter;
    otherWriter.Open(other.ConnectionString());
    const int n1 = AddPerson(otherWriter, QStringLiteral("New1"));
    const int n2 = AddPerson(otherWriter, QStringLiteral("New2"));
    AddPerson(otherWriter, QStringLiteral("New3"));
    AddSample(otherWriter, n1, DescriptorBytes(2));
    AddSample(otherWriter, n2, DescriptorBytes(3));

    StartCheckThread();
    ASSERT_TRUE(journal_.WaitFor(QStringLiteral("Актуализация моделей"), 1, QStringLiteral("1 модель добавлена")));
    ASSERT_TRUE(frame_.WaitFor(Call::ModelLoadingDone));

    // PostgreSQL: another session's table lock holds the persons query up, so the pass is
    // waiting for it when the string changes. A SQLite lock would hold up the version query
    // before it, so there the string changes between passes.
    DbConnection blocker;
    const bool holdUp = GetParam() == DbProvider::PostgreSQL;
    frame_.Clear();
    log_.Mark();
    if (holdUp) {
        blocker.Open(db_->ConnectionString());
        Exec(blocker, QStringLiteral("BEGIN"));
        Exec(blocker, QStringLiteral("LOCK TABLE PERSONS IN ACCESS EXCLUSIVE MODE"));
        sync_.hDbCheckEvent.Set();
        ASSERT_TRUE(frame_.WaitFor(Call::PassStarted));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(frame_.Count(Call::PersonsTotal), 0) << "the persons query was not held up";
    }

    SetConnectionString(hub_, other.ConnectionString());
    const auto started = std::chrono::steady_clock::now();
    sync_.NeedModelsActualize();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    if (holdUp) {
        EXPECT_TRUE(log_.SinceMark().contains(
            QStringLiteral("ActualizePersonModelList(): hDbConnectionStringChangedEvent signaled.")));
    }
    EXPECT_EQ(journal_.Count(QStringLiteral("Все модели удалены"), QStringLiteral("Перезагрузка моделей из БД")), 1);
    EXPECT_EQ(frame_.Count(Call::ReloadModels), 1);

    ASSERT_TRUE(journal_.WaitFor(QStringLiteral("Актуализация моделей"), 1, QStringLiteral("2 модели добавлены")))
        << log_.SinceMark().toStdString();
    EXPECT_EQ(Ids(), (std::vector<uint32_t>{static_cast<uint32_t>(n1), static_cast<uint32_t>(n2)}));
    EXPECT_EQ(platform::FromFixed(Model(n1)->surname), QStringLiteral("New1"));
    if (holdUp) Exec(blocker, QStringLiteral("ROLLBACK"));
}

INSTANTIATE_TEST_SUITE_P(Providers, SyncTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         ProviderTestName);

// A frame that runs a step once, when the check thread asks for the journal's state: after it
// opened the database and read its version, before its pass.
class SteppingFrame : public FrameRecorder {
public:
    using FrameRecorder::FrameRecorder;
    shell::DatabaseState JournalDatabaseState() const override {
        if (const std::function<void()> step = std::exchange(beforePass, nullptr)) step();
        return FrameRecorder::JournalDatabaseState();
    }
    // Set before the check is requested; the event hands it over to the check thread.
    mutable std::function<void()> beforePass;
};

class ConnectionChangeTest : public ProviderTest {};

// Two databases with the same person id and STATE but other samples and names. A check that
// opened the first one when the string changed must not bring its samples into the set that
// the second one's names then land on.
TEST_P(ConnectionChangeTest, NothingReadFromTheOldDatabaseSurvivesTheChange) {
    TestDatabase second(GetParam());
    DbConnection oldWriter, newWriter;
    oldWriter.Open(db_->ConnectionString());
    newWriter.Open(second.ConnectionString());
    const int id = AddPerson(oldWriter, QStringLiteral("Старая"), 1);
    AddSample(oldWriter, id, DescriptorBytes(1));
    ASSERT_EQ(AddPerson(newWriter, QStringLiteral("Новая"), 1), id);
    AddSample(newWriter, id, DescriptorBytes(7));
    ASSERT_EQ(QueryInt(newWriter, QStringLiteral("SELECT STATE AS N FROM PERSONS")),
              QueryInt(oldWriter, QStringLiteral("SELECT STATE AS N FROM PERSONS")));

    LogCapture log;
    JournalRecorder journal;
    SteppingFrame frame{journal};
    platform::Event term{true, false};
    recognition::PersonModelSortedList models;
    settings::SettingsHub hub;
    ModelSynchronizer sync{term, frame, journal.Journal(), models, hub};
    frame.onReload = [&sync] { sync.hDbCheckEvent.Set(); };
    SetConnectionString(hub, db_->ConnectionString());
    std::thread check = platform::StartNamedThread("DbCheckThread", [&sync] { sync.DbCheckThreadFunc(); });
    const auto stop = [&] {
        term.Set();
        if (check.joinable()) check.join();
    };
    const std::unique_ptr<void, std::function<void(void*)>> stopAtEnd(&check, [&stop](void*) { stop(); });
    ASSERT_TRUE(journal.WaitFor(QStringLiteral("Актуализация моделей"), 1, QStringLiteral("1 модель добавлена")));

    frame.beforePass = [&] {
        // The operator applies the new string while this check holds the old database open.
        std::thread ui([&] {
            SetConnectionString(hub, second.ConnectionString());
            sync.NeedModelsActualize();
        });
        ui.join();
    };
    sync.hDbCheckEvent.Set();
    // The reload from the new database shows the new name.
    const auto named = [&] {
        platform::CriticalSectionLock lock(recognition::PredictDispatchLock);
        const PersonModel* model = models.Find(static_cast<uint32_t>(id));
        return model != nullptr && platform::FromFixed(model->surname) == QStringLiteral("Новая");
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!named() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(named()) << log.Text().toStdString();
    stop();
    ASSERT_EQ(models.Count(), 1u);
    const PersonModel& model = *models.At(0);
    ASSERT_EQ(model.descriptors.Count(), 1u);
    EXPECT_EQ(model.descriptors.At(0)->ToStorage(), DescriptorBytes(7)) << "the old database's sample survived";
    EXPECT_EQ(journal.Count(QStringLiteral("Актуализация моделей"), QStringLiteral("Обновлены параметры 1 модели")), 0);
}

INSTANTIATE_TEST_SUITE_P(Providers, ConnectionChangeTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         ProviderTestName);

// The lowest descriptor the process could open next; a limit there makes every new one fail.
int NextFreeDescriptor() {
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(fd);
    return fd;
}

// Events that could not be made: the check thread names them and ends instead of spinning on
// waits that fail.
TEST(DbCheckThreadTest, EventsThatCouldNotBeMadeAreLoggedAndEndTheThread) {
    auto harness = std::make_unique<SyncHarness>();
    // Made without descriptors: the synchronizer's own events are invalid.
    std::unique_ptr<ModelSynchronizer> sync;
    {
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit tight = saved;
        tight.rlim_cur = static_cast<rlim_t>(NextFreeDescriptor());
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
        sync = std::make_unique<ModelSynchronizer>(harness->term, harness->frame, harness->journal.Journal(),
                                                   harness->models, harness->hub);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    }
    ASSERT_FALSE(sync->hDbCheckEvent.IsValid());
    auto ended = std::make_shared<std::promise<void>>();
    std::future<void> done = ended->get_future();
    std::thread check([&sync, ended] {
        sync->DbCheckThreadFunc();
        ended->set_value();
    });
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // The thread cannot be stopped: leave it and what it uses behind.
        check.detach();
        static_cast<void>(sync.release());
        static_cast<void>(harness.release());
        FAIL() << "the check thread still runs";
    }
    check.join();
    const QString text = harness->log.Text();
    EXPECT_TRUE(text.contains(QStringLiteral("Error. Can't create hDbConnectionStringChangedEvent event object.")));
    EXPECT_TRUE(text.contains(QStringLiteral("Error. Can't create hDbCheckEvent event object.")));
    EXPECT_FALSE(text.contains(QStringLiteral("Error. Can't create hTermEvent event object.")));
    EXPECT_TRUE(text.contains(QStringLiteral("DbCheckThreadFunc completed.")));
    EXPECT_FALSE(text.contains(QStringLiteral("Unknown error on WaitForMultipleObjects")));
    EXPECT_FALSE(sync->EventsCreated());
}

// SQLite keeps whatever type it is given, so a text DESCRIPTOR can only come from there.
TEST(SqliteSyncTest, DescriptorOfTheWrongTypeIsADataError) {
    SyncHarness harness;
    auto& [log, journal, frame, term, models, hub, sync] = harness;
    TestDatabase db(DbProvider::SQLite);
    DbConnection writer;
    writer.Open(db.ConnectionString());
    const int person = AddPerson(writer, QStringLiteral("A"));
    Exec(writer, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, 'not binary')"),
         {person, QByteArray("img")});
    Exec(writer, QStringLiteral("UPDATE PERSONS SET STATE = 1"));
    DbConnection connection;
    connection.Open(db.ConnectionString());
    sync.ActualizePersonModelList(connection);
    EXPECT_TRUE(models.Empty());
    EXPECT_EQ(journal.Count(
                  QStringLiteral("Актуализация моделей"),
                  QStringLiteral(
                      "Запрос значения поля DESCRIPTOR таблицы SAMPLES вернул тип данных несовместимый с varbinary")),
              1);
    EXPECT_TRUE(log.Text().contains(QStringLiteral("несовместимый с varbinary!")));
}

}  // namespace
}  // namespace dbtest
