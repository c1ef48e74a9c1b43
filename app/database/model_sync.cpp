#include "app/database/model_sync.h"

#include "app/database/db_schema.h"
#include "app/database/db_text.h"
#include "app/database/sample_runs.h"
#include "app/recognition/predict_pool.h"
#include "app/shell/journal.h"
#include "platform/contract.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/log_masking.h"

#include <algorithm>
#include <cstdarg>
#include <memory>
#include <new>
#include <optional>
#include <thread>

namespace database {

namespace {

using shell::DatabaseIcon;
using shell::DatabaseState;
using shell::RecognitionIcon;
using namespace shell::literals;

constexpr const char* kPassName = "ActualizePersonModelList";
const QString kActualizeEvent = u"Актуализация моделей"_jt;

__attribute__((format(printf, 1, 2))) void Log(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteLog(QString::vasprintf(format, arguments));
    va_end(arguments);
}

// A database-tab entry of the pass's failure.
void PostPassError(const shell::Journal& journal, QString description) {
    journal.PostDatabase(DatabaseIcon::Error, kActualizeEvent, std::move(description), DatabaseState::Error);
}

template <size_t N>
bool SameText(const char16_t (&a)[N], const char16_t (&b)[N]) {
    return std::equal(a, a + N, b);
}

template <size_t N>
void CopyText(char16_t (&target)[N], const char16_t (&source)[N]) {
    std::copy(source, source + N, target);
}

// The person fields both records share: list number, the five names, gender, date of birth,
// speech.
template <typename To, typename From>
void CopyPersonFields(To& to, const From& from) {
    to.listNumber = from.listNumber;
    CopyText(to.surname, from.surname);
    CopyText(to.forename, from.forename);
    CopyText(to.secondName, from.secondName);
    CopyText(to.alias, from.alias);
    CopyText(to.externalKey, from.externalKey);
    to.gender = from.gender;
    to.dateOfBirth = from.dateOfBirth;
    CopyText(to.speech, from.speech);
}

bool SamePersonFields(const PrevData& a, const PrevData& b) {
    return a.listNumber == b.listNumber && SameText(a.surname, b.surname) && SameText(a.forename, b.forename) &&
           SameText(a.secondName, b.secondName) && SameText(a.alias, b.alias) &&
           SameText(a.externalKey, b.externalKey) && SameText(a.speech, b.speech) && a.gender == b.gender &&
           a.dateOfBirth == b.dateOfBirth;
}

// The persons query's columns, looked up by name once per pass instead of in every row.
struct PersonColumns {
    explicit PersonColumns(const DbRecordset& rows)
        : id(rows.ColumnIndex(QStringLiteral("PERSON_ID"))),
          listNumber(rows.ColumnIndex(QStringLiteral("LIST_NUM"))),
          state(rows.ColumnIndex(QStringLiteral("STATE"))),
          surname(rows.ColumnIndex(QStringLiteral("SURNAME"))),
          forename(rows.ColumnIndex(QStringLiteral("FORENAME"))),
          secondName(rows.ColumnIndex(QStringLiteral("SECONDNAME"))),
          alias(rows.ColumnIndex(QStringLiteral("ALIAS"))),
          externalKey(rows.ColumnIndex(QStringLiteral("EXT_KEY"))),
          gender(rows.ColumnIndex(QStringLiteral("Gender"))),
          dateOfBirth(rows.ColumnIndex(QStringLiteral("DateOfBirth"))),
          speech(rows.ColumnIndex(QStringLiteral("SPEECH"))),
          sampleCount(rows.ColumnIndex(QStringLiteral("SAMPLESCOUNT"))) {}
    size_t id, listNumber, state, surname, forename, secondName, alias, externalKey, gender, dateOfBirth, speech,
        sampleCount;
};

// One row of the persons query; sampleCount holds SAMPLESCOUNT.
void ReadPersonRow(const DbRecordset& rows, const PersonColumns& columns, PrevData& row) {
    row.personId = static_cast<uint32_t>(ReadInteger(rows.Value(columns.id)));
    row.listNumber = ReadInteger(rows.Value(columns.listNumber));
    row.state = ReadInteger(rows.Value(columns.state));
    const uint32_t id = row.personId;
    CopyColumnText(row.surname, rows.Value(columns.surname).toString(), kPassName, "SURNAME", id);
    CopyColumnText(row.forename, ReadText(rows.Value(columns.forename)), kPassName, "FORENAME", id);
    CopyColumnText(row.secondName, ReadText(rows.Value(columns.secondName)), kPassName, "SECONDNAME", id);
    CopyColumnText(row.alias, ReadText(rows.Value(columns.alias)), kPassName, "ALIAS", id);
    CopyColumnText(row.externalKey, ReadText(rows.Value(columns.externalKey)), kPassName, "EXT_KEY", id);
    row.gender = ReadInteger(rows.Value(columns.gender));
    row.dateOfBirth = ReadDate(rows.Value(columns.dateOfBirth));
    CopyColumnText(row.speech, ReadText(rows.Value(columns.speech)), kPassName, "SPEECH", id);
    row.sampleCount = ReadInteger(rows.Value(columns.sampleCount));
}

struct Endings {
    const char* one;
    const char* few;
    const char* many;
    const char* Pick(int n) const { return PluralEnding(n, one, few, many); }
};

constexpr Endings kModelNoun{"ь", "и", "ей"};
constexpr Endings kParticiple{"а", "ы", "о"};
constexpr Endings kModelGenitive{"и", "ей", "ей"};

}  // namespace

QString ModelsRemovedText(int n) {
    return QString::asprintf("%d модел%s удален%s", n, kModelNoun.Pick(n), kParticiple.Pick(n));
}
QString ModelParamsUpdatedText(int n) {
    return QString::asprintf("Обновлены параметры %d модел%s", n, kModelGenitive.Pick(n));
}
QString ModelSamplesUpdatedText(int n) {
    return QString::asprintf("Обновлены образцы %d модел%s", n, kModelGenitive.Pick(n));
}
QString ModelsAddedText(int n) {
    return QString::asprintf("%d модел%s добавлен%s", n, kModelNoun.Pick(n), kParticiple.Pick(n));
}

ModelSynchronizer::ModelSynchronizer(platform::Event& termEvent, MainFrameSink& sink, const shell::Journal& journal,
                                     recognition::PersonModelSortedList& workingSet, const settings::SettingsHub& hub)
    : termEvent_(termEvent), sink_(sink), journal_(journal), workingSet_(workingSet), hub_(hub) {}

ModelSynchronizer::~ModelSynchronizer() = default;

bool ModelSynchronizer::EventsCreated() const {
    bool created = true;
    const auto check = [&created](const platform::Event& event, const char* line) {
        if (event.IsValid()) return;
        Log("%s", line);
        created = false;
    };
    check(termEvent_, "Error. Can't create hTermEvent event object.");
    check(hDbConnectionStringChangedEvent, "Error. Can't create hDbConnectionStringChangedEvent event object.");
    check(hDbCheckEvent, "Error. Can't create hDbCheckEvent event object.");
    return created;
}

void ModelSynchronizer::DbCheckThreadFunc() {
    Log("DbCheckThreadFunc started.");
    // Without its events the thread could neither be woken nor stopped: every wait would fail.
    if (!EventsCreated()) {
        Log("DbCheckThreadFunc completed.");
        return;
    }
    // Kept for the thread's life; opened and closed in every cycle. Its waits give up at
    // termination, so a silent server cannot hold the thread.
    DbConnection connection;
    connection.SetAbandonEvent(&termEvent_);
    int status = kDbStatusNone;
    std::chrono::milliseconds wait{0};
    for (;;) {
        const int woken = platform::WaitForAny({&termEvent_, &hDbCheckEvent}, static_cast<int>(wait.count()));
        if (woken == 0) {
            Log("DbCheckThreadFunc(): TermEvent signaled.");
            break;
        }
        if (woken != 1 && woken != platform::kWaitTimeout) {
            Log("DbCheckThreadFunc(): Unknown error on WaitForMultipleObjects.");
            // A wait that keeps failing must not spin the processor.
            std::this_thread::sleep_for(kExecutePoll);
            continue;
        }
        // Taken before the string: a string read after a change is never paired with a
        // generation from before it.
        const uint64_t generation = ConnectionGeneration();
        const QString connectionString = platform::FromFixed(hub_.Snapshot()->DbConnectionString);
        wait = kDbCheckInterval;
        const QByteArray logged = settings::ConnectionStringForLog(connectionString).toUtf8();

        if (connectionString.isEmpty()) {
            if (status != kDbStatusNoConnectionString) {
                journal_.PostDatabase(DatabaseIcon::NotConfigured, u"Не задана строка соединения"_jt, u""_jt,
                                      DatabaseState::NotConfigured);
                Log("Не задана строка соединения с базой данных");
                sink_.ModelLoadingDone();
            }
            status = kDbStatusNoConnectionString;
            continue;
        }

        try {
            connection.Open(connectionString);
        } catch (const DbError& error) {
            if (status != kDbStatusConnectFailed) {
                journal_.PostDatabase(DatabaseIcon::Error, u"Ошибка соединения с сервером"_jt, error.Description(),
                                      DatabaseState::Error);
                Log("DbCheckThreadFunc(): Ошибка соединения с сервером '%s': %s", logged.constData(),
                    qUtf8Printable(error.Description()));
                sink_.ModelLoadingDone();
            }
            status = kDbStatusConnectFailed;
            continue;
        }

        int version = -1;
        bool versionRead = false;
        try {
            version = QueryDatabaseVersion(connection);
            versionRead = true;
        } catch (const DbError& error) {
            if (status != kDbStatusVersionQueryFailed) {
                journal_.PostDatabase(DatabaseIcon::Error, u"Ошибка запроса версии базы данных"_jt, error.Description(),
                                      DatabaseState::Error);
                Log("DbCheckThreadFunc(): Ошибка запроса версии базы данных '%s': %s", logged.constData(),
                    qUtf8Printable(error.Description()));
                sink_.ModelLoadingDone();
            }
            status = kDbStatusVersionQueryFailed;
        }

        if (versionRead && version >= kRequiredMajorVersion) {
            if (status != kDbStatusAvailable || sink_.JournalDatabaseState() != DatabaseState::Available) {
                journal_.PostDatabase(DatabaseIcon::Info, u"База данных доступна"_jt, u""_jt, DatabaseState::Available);
                Log("DbCheckThreadFunc(): База данных доступна");
            }
            status = kDbStatusAvailable;
            ActualizePersonModelList(connection, generation);
        } else if (versionRead) {
            if (status != kDbStatusVersionTooLow) {
                journal_.PostDatabase(DatabaseIcon::Error, kVersionTooLowText, u""_jt, DatabaseState::Error);
                Log("DbCheckThreadFunc(): Версия базы данных менее 2.0 или отсутствует '%s'", logged.constData());
                sink_.ModelLoadingDone();
            }
            status = kDbStatusVersionTooLow;
        }
        connection.Close();
    }
    Log("DbCheckThreadFunc completed.");
}

bool ModelSynchronizer::WaitCommand(DbCommand& command, bool& aborted) {
    while (command.IsExecuting()) {
        // The statement's completion is waited for too, so a fast query costs no poll interval.
        const int woken =
            platform::WaitForAny({&termEvent_, &hDbConnectionStringChangedEvent, command.Completion()}, kExecutePoll);
        if (woken == 1) Log("ActualizePersonModelList(): hDbConnectionStringChangedEvent signaled.");
        if (woken == 0 || woken == 1) {
            aborted = true;
            command.Cancel();
            return false;
        }
        // A silent server: the statement is made to fail, which ends the pass as an error.
        if (command.Unanswered()) command.Cancel();
    }
    return true;
}

// The reading half of a pass: what it found out and what it loaded.
struct ModelSynchronizer::Pass {
    enum class Load { Done, DataError, Aborted };

    ModelSynchronizer& sync;
    DbConnection& connection;
    bool aborted = false;
    bool error = false;
    bool changed = false;
    SampleRun run{connection, [this](DbCommand& command) { return sync.WaitCommand(command, aborted); }};

    // Whether the pass reads the samples of the row's person: a new person with samples, or a
    // known one whose STATE changed and who still has samples.
    bool LoadsSamples(const PersonRowKey& key) const {
        if (key.sampleCount == 0) return false;
        const PrevData* prev = sync.PrevDataList.Find(key.personId);
        return prev == nullptr || prev->state != key.state;
    }

    // PostgreSQL costs the persons query's per-person sample counts high enough to compile the
    // query to machine code, which takes longer than running it (and grows with the persons) on
    // every pass. The setting lasts for the connection; a server without it keeps its way.
    bool PlanWithoutJit() {
        if (connection.Provider() != DbProvider::PostgreSQL) return true;
        DbCommand setting(connection);
        setting.SetCommandText(QStringLiteral("SET jit = off"));
        setting.Execute(kExecChangeAsync);
        if (!sync.WaitCommand(setting, aborted)) return false;
        try {
            setting.RowsAffected();
        } catch (const DbError&) {
            // Servers before 11 have no such setting and never compile queries.
        }
        return true;
    }

    void Read() {
        if (!PlanWithoutJit()) return;
        DbCommand persons(connection);
        persons.SetCommandText(StatementText(DbStatement::PersonsSyncQuery, connection.Provider()));
        persons.Execute(kExecSelectAsync);
        if (!sync.WaitCommand(persons, aborted)) return;
        DbRecordset& rows = persons.Recordset();
        int total = 0;
        int count = 0;
        std::optional<PersonColumns> columns;
        for (; !rows.Eof(); rows.MoveNext()) {
            if (count == 0) {
                total = ReadInteger(rows.Field(QStringLiteral("PERSONSCOUNT")));
                Log("ActualizePersonModelList(): %d персон в БД.", total);
                sync.sink_.PersonsTotal(total);
            }
            ++count;
            sync.sink_.PersonsProgress(count, total);
            if (!columns) columns.emplace(rows);
            PrevData row;
            ReadPersonRow(rows, *columns, row);
            bool load = false;
            if (PrevData* prev = sync.PrevDataList.Find(row.personId)) {
                if (prev->state == row.state) {
                    if (SamePersonFields(*prev, row)) {
                        prev->syncMark = SyncUnchanged;
                    } else {
                        prev->syncMark = SyncParamsChanged;
                        CopyPersonFields(*prev, row);
                        changed = true;
                    }
                } else {
                    changed = true;
                    if (row.sampleCount == 0) {
                        prev->syncMark = SyncRemoved;
                    } else {
                        prev->syncMark = SyncSamplesChanged;
                        load = true;
                    }
                }
            } else if (row.sampleCount != 0) {
                changed = true;
                load = true;
            }
            OSTROVID_ASSERT(load == LoadsSamples({row.personId, row.state, row.sampleCount}),
                            "a run of samples is planned by the rule the rows are read by");
            if (!load) continue;
            const Load loaded = LoadSamples(row, rows);
            if (loaded == Load::Aborted) return;
            if (loaded == Load::DataError) {
                error = true;
                return;
            }
        }
    }

    // Reads the person's descriptors into a new model appended to LoadedModelList. The samples
    // come from the run that covers the person, started here when none does; persons is the
    // persons query at the person's row.
    Load LoadSamples(const PrevData& row, const DbRecordset& persons) {
        Log("ActualizePersonModelList(): загрузка из БД образцов персоны ID=%u", row.personId);
        if (!run.Covers(row.personId)) {
            const uint32_t last = LastPersonOfRun(
                persons, [this](const PersonRowKey& key) { return LoadsSamples(key); }, sync.sampleRowBudget);
            if (!run.Start(row.personId, last)) return Load::Aborted;
        }
        DbRecordset& rows = run.SamplesOf(row.personId);

        // The list being grown names an allocation failure in the log.
        const char* growing = "InsertPersonModelToList";
        try {
            auto model = std::make_unique<recognition::PersonModel>();
            model->personId = row.personId;
            CopyPersonFields(*model, row);
            model->state = row.state;
            for (; SampleRun::IsSampleOf(rows, row.personId); rows.MoveNext()) {
                QByteArray bytes;
                if (!ReadBinary(rows.Field(QStringLiteral("DESCRIPTOR")), &bytes)) {
                    Log("ActualizePersonModelList(): Ошибка. Запрос значения поля DESCRIPTOR таблицы SAMPLES вернул "
                        "тип данных несовместимый с varbinary!");
                    PostPassError(sync.journal_,
                                  u"Запрос значения поля DESCRIPTOR таблицы SAMPLES вернул тип данных "
                                  u"несовместимый с varbinary"_jt);
                    return Load::DataError;
                }
                const auto descriptor = recognition::FaceDescriptor::FromStorage(bytes);
                if (!descriptor) {
                    Log("ActualizePersonModelList(): Ошибка. Запрос значения поля DESCRIPTOR таблицы SAMPLES вернул "
                        "бинарные данные неправильного размера!");
                    PostPassError(sync.journal_,
                                  u"Запрос значения поля DESCRIPTOR таблицы SAMPLES вернул бинарные "
                                  u"данные неправильного размера"_jt);
                    return Load::DataError;
                }
                growing = "InsertMatrixDescriptorToList";
                model->descriptors.Append(std::make_unique<recognition::FaceDescriptor>(*descriptor));
            }
            if (model->descriptors.Empty()) {
                Log("ActualizePersonModelList(): Warning. Ни одного образца персоны ID=%u не загружено!", row.personId);
                return Load::Done;
            }
            growing = "InsertPersonModelToList";
            sync.LoadedModelList.Append(std::move(model));
        } catch (const std::bad_alloc&) {
            return OutOfMemory(growing);
        }
        return Load::Done;
    }

    Load OutOfMemory(const char* where) {
        Log("ActualizePersonModelList(): Ошибка выделения памяти в %s().", where);
        PostPassError(sync.journal_, u"Недостаточно памяти в системе"_jt);
        return Load::DataError;
    }
};

void ModelSynchronizer::ActualizePersonModelList(DbConnection& connection) {
    ActualizePersonModelList(connection, ConnectionGeneration());
}

void ModelSynchronizer::ActualizePersonModelList(DbConnection& connection, uint64_t generation) {
    platform::CriticalSectionLock loadLock(ModelLoadLock);
    Log("ActualizePersonModelList() enter...");
    if (generation != ConnectionGeneration()) {
        // The connection was opened with the string before the last change: what it would read
        // belongs to another database.
        Log("ActualizePersonModelList(): Строка соединения изменена. Проход пропущен.");
        Log("ActualizePersonModelList() exit");
        return;
    }
    sink_.PassStarted(static_cast<int>(PrevDataList.Count()));
    LoadedModelList.Clear();
    for (const auto& entry : PrevDataList) entry->syncMark = SyncUnseen;

    Pass pass{*this, connection};
    try {
        try {
            pass.Read();
        } catch (const std::bad_alloc&) {
            throw DbError(QStringLiteral("Недостаточно памяти в системе"));
        }
    } catch (const DbError& error) {
        Log("ActualizePersonModelList() Exception: %s", qUtf8Printable(error.Description()));
        PostPassError(journal_, error.Description());
        pass.error = true;
    }

    // A change of the connection string while the pass read (after its last wait) discards it too.
    if (generation != ConnectionGeneration()) pass.aborted = true;
    const bool unseen =
        std::any_of(PrevDataList.begin(), PrevDataList.end(), [](const auto& e) { return e->syncMark == SyncUnseen; });
    if (!pass.aborted && (unseen || pass.changed)) {
        sink_.ApplyingChanges();
        bool anyToApply = false;
        for (const auto& entry : PrevDataList) {
            const bool reloadMissing =
                entry->syncMark == SyncSamplesChanged && LoadedModelList.Find(entry->personId) == nullptr;
            if (entry->syncMark == SyncUnseen || reloadMissing) {
                // A pass that could not see everything removes nothing.
                entry->syncMark = pass.error ? SyncUnchanged : SyncRemoved;
            }
            anyToApply = anyToApply || entry->syncMark == SyncParamsChanged || entry->syncMark == SyncRemoved;
        }
        if (anyToApply || !LoadedModelList.Empty()) {
            Log("ActualizePersonModelList(): Синхронизация изменений с рабочим набором моделей...");
            platform::CriticalSectionLock dispatchLock(recognition::PredictDispatchLock);
            if (!recognition::WaitPredictThreadIddle()) {
                Log("ActualizePersonModelList(): WaitPredictThreadIddle returned false.");
            } else {
                int removed = 0, paramsUpdated = 0, samplesUpdated = 0, added = 0;
                ApplyChanges(removed, paramsUpdated, samplesUpdated, added);
                // Without memory for the pack, matching scans the list itself: slower, same result.
                workingSet_.RebuildPack();
                const auto report = [this](int count, QString (*text)(int)) {
                    if (count != 0) journal_.PostRecognition(RecognitionIcon::ModelSet, kActualizeEvent, text(count));
                };
                report(removed, ModelsRemovedText);
                report(paramsUpdated, ModelParamsUpdatedText);
                report(samplesUpdated, ModelSamplesUpdatedText);
                report(added, ModelsAddedText);
                sink_.ModelCount(static_cast<int>(workingSet_.Count()));
            }
        }
    }

    LoadedModelList.Clear();
    sink_.ModelLoadingDone();
    Log("ActualizePersonModelList() exit");
}

void ModelSynchronizer::ApplyChanges(int& removed, int& paramsUpdated, int& samplesUpdated, int& added) {
    OSTROVID_ASSERT(ModelLoadLock.HeldByCurrentThread(), "the synchronizer's lists change only under ModelLoadLock");
    OSTROVID_ASSERT(recognition::PredictDispatchLock.HeldByCurrentThread(),
                    "the working model set changes only under PredictDispatchLock");
    for (uint32_t i = 0; i < PrevDataList.Count();) {
        PrevData* entry = PrevDataList.At(i);
        if (entry->syncMark == SyncParamsChanged) {
            if (recognition::PersonModel* model = workingSet_.Find(entry->personId)) {
                CopyPersonFields(*model, *entry);
                Log("ActualizePersonModelList(): Обновлены параметры персоны ID=%u в рабочей модели", entry->personId);
                ++paramsUpdated;
            } else {
                Log("ActualizePersonModelList(): Warning! В списке рабочих моделей не найдена модель персоны ID=%u. "
                    "Удаление из PrevDataList.",
                    entry->personId);
                PrevDataList.Remove(i);
                continue;
            }
        } else if (entry->syncMark == SyncRemoved) {
            if (const std::optional<uint32_t> position = workingSet_.FindPosition(entry->personId)) {
                Log("ActualizePersonModelList(): Модель персоны ID=%u теперь отсутствует в БД. Удаление из списка "
                    "рабочих моделей.",
                    entry->personId);
                workingSet_.Remove(*position);
                ++removed;
                PrevDataList.Remove(i);
                continue;
            }
        }
        ++i;
    }

    // A model that moves into the working set leaves the loaded list; the rest is destroyed here.
    for (std::unique_ptr<recognition::PersonModel>& model : LoadedModelList.TakeAll()) {
        const uint32_t id = model->personId;
        if (PrevData* entry = PrevDataList.Find(id)) {
            CopyPersonFields(*entry, *model);
            entry->state = model->state;
            entry->sampleCount = static_cast<int32_t>(model->descriptors.Count());
            if (const std::optional<uint32_t> position = workingSet_.FindPosition(id)) {
                workingSet_.Replace(*position, std::move(model));
                Log("ActualizePersonModelList(): Обновлены образцы модели персоны ID=%u в рабочей модели", id);
                ++samplesUpdated;
                continue;
            }
            Log("ActualizePersonModelList(): Warning! Не найдена модель персоны ID=%u в списке рабочих моделей. "
                "Добавление...",
                id);
            if (AddToWorkingSet(std::move(model))) {
                ++added;
            } else {
                Log("ActualizePersonModelList(): Warning! Модель персоны ID=%u не добавлена в список рабочих моделей. "
                    "Удаление из PrevDataList.",
                    id);
                PrevDataList.Remove(*PrevDataList.FindPosition(id));
            }
            continue;
        }
        if (!RememberNewPerson(*model)) continue;
        Log("ActualizePersonModelList(): Добавление новой модели персоны ID=%u в список рабочих моделей", id);
        if (AddToWorkingSet(std::move(model))) {
            ++added;
        } else {
            Log("ActualizePersonModelList(): Warning! Новая модель персоны ID=%u не добавлена в список рабочих "
                "моделей. Удаление из PrevDataList.",
                id);
            PrevDataList.Remove(*PrevDataList.FindPosition(id));
        }
    }
}

bool ModelSynchronizer::RememberNewPerson(const recognition::PersonModel& model) {
    try {
        auto entry = std::make_unique<PrevData>();
        entry->personId = model.personId;
        CopyPersonFields(*entry, model);
        entry->state = model.state;
        entry->sampleCount = static_cast<int32_t>(model.descriptors.Count());
        Log("ActualizePersonModelList(): Добавление параметров модели персоны ID=%u в PrevDataList...", model.personId);
        PrevDataList.Append(std::move(entry));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ModelSynchronizer::AddToWorkingSet(std::unique_ptr<recognition::PersonModel> model) {
    try {
        workingSet_.Append(std::move(model));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void ModelSynchronizer::NeedModelsActualize() {
    // First, so that a pass that has not begun yet with a connection to the old database is
    // discarded too.
    connectionGeneration_.fetch_add(1);
    hDbConnectionStringChangedEvent.Set();
    bool emptied = false;
    {
        platform::CriticalSectionLock loadLock(ModelLoadLock);
        {
            platform::CriticalSectionLock dispatchLock(recognition::PredictDispatchLock);
            if (!recognition::WaitPredictThreadIddle()) {
                Log("NeedModelsActualize(): WaitPredictThreadIddle returned false.");
            } else {
                workingSet_.Clear();
                LoadedModelList.Clear();
                PrevDataList.Clear();
                journal_.PostRecognition(RecognitionIcon::ModelSet, u"Все модели удалены"_jt,
                                         u"Перезагрузка моделей из БД"_jt);
                sink_.ModelCount(0);
                emptied = true;
            }
        }
        hDbConnectionStringChangedEvent.Reset();
    }
    if (emptied) sink_.ReloadModels();
}

}  // namespace database
