#pragma once
// Purpose: keeps the working model set equal to the person database. DbCheckThreadFunc checks
//   every 30 seconds (or at once on hDbCheckEvent) that the database is reachable and new enough,
//   then runs ActualizePersonModelList, which reads every person, reloads descriptors only of
//   persons whose STATE changed, and applies the differences while the prediction workers are
//   idle. NeedModelsActualize drops the whole set after the connection string changed.
// Threads: DbCheckThreadFunc and ActualizePersonModelList on the database check thread,
//   NeedModelsActualize on the user-interface thread; both hold ModelLoadLock for PrevDataList
//   and LoadedModelList, and PredictDispatchLock with the workers idle while the working set
//   changes (checked). The workers read the working set without locks.
// Owns: PrevDataList and LoadedModelList; it borrows the working set, the termination event, the
//   main frame sink and the settings.

#include "app/database/db_access.h"
#include "app/database/main_frame_sink.h"
#include "app/database/russian_plural.h"
#include "app/database/sample_runs.h"
#include "app/recognition/person_model.h"
#include "app/recognition/pointer_list.h"
#include "app/shell/journal.h"
#include "platform/sync.h"
#include "settings/settings_hub.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace database {

enum SyncMark : int32_t {
    SyncUnseen = 0,          // not (yet) met in this pass's rows
    SyncUnchanged = 1,       // equal to the remembered row, or left alone after an error
    SyncParamsChanged = 2,   // same STATE, other fields changed (new values already stored)
    SyncSamplesChanged = 3,  // STATE changed and the person has samples: reloading
    SyncRemoved = 4,         // the model must leave the working set
};

// The synchronizer's memory of one person's row.
struct PrevData {
    uint32_t personId = 0;
    int32_t listNumber = 0;
    char16_t surname[64] = {};
    char16_t forename[64] = {};
    char16_t secondName[64] = {};
    char16_t alias[16] = {};
    char16_t externalKey[32] = {};
    int32_t gender = 0;
    double dateOfBirth = 0;
    char16_t speech[256] = {};
    int32_t state = 0;
    // SAMPLESCOUNT when first seen; after a reload, the number of descriptors loaded.
    int32_t sampleCount = 0;
    int32_t syncMark = SyncUnseen;
};

using PrevDataSortedList = recognition::SortedPointerList<PrevData>;

// Statuses of the check thread.
enum DbCheckStatus : int {
    kDbStatusNone = -1,
    kDbStatusAvailable = 0,
    kDbStatusNoConnectionString = 1,
    kDbStatusConnectFailed = 2,
    kDbStatusVersionQueryFailed = 3,
    kDbStatusVersionTooLow = 4,
};

constexpr std::chrono::milliseconds kDbCheckInterval{30000};

// The journal lines of a pass with their endings, for example "1 модель добавлена".
QString ModelsRemovedText(int n);
QString ModelParamsUpdatedText(int n);
QString ModelSamplesUpdatedText(int n);
QString ModelsAddedText(int n);

class ModelSynchronizer {
public:
    // termEvent: the process-wide manual-reset hTermEvent. journal: where the database and model-set
    // reports go. workingSet: the set the prediction workers read. hub: where each check
    // cycle reads the connection string.
    ModelSynchronizer(platform::Event& termEvent, MainFrameSink& sink, const shell::Journal& journal,
                      recognition::PersonModelSortedList& workingSet, const settings::SettingsHub& hub);
    ~ModelSynchronizer();
    ModelSynchronizer(const ModelSynchronizer&) = delete;
    ModelSynchronizer& operator=(const ModelSynchronizer&) = delete;

    // False, with the "Error. Can't create ..." line of each event logged, when an event the
    // check thread waits for could not be made.
    bool EventsCreated() const;
    // Thread body; returns when hTermEvent is set (at once when EventsCreated() is false).
    void DbCheckThreadFunc();
    // One pass over an open connection, on the check thread. generation: ConnectionGeneration()
    // taken before the connection string the connection was opened with was read; a pass of an
    // older generation reads from the database before a change and is discarded.
    void ActualizePersonModelList(DbConnection& connection, uint64_t generation);
    // The same for a connection to the database of the current string.
    void ActualizePersonModelList(DbConnection& connection);
    // Bumped by every NeedModelsActualize.
    uint64_t ConnectionGeneration() const { return connectionGeneration_.load(); }
    // After the connection string changed (user-interface thread, once the new string is
    // published): abandons a running pass and drops every model, then asks the main frame for a
    // reload.
    void NeedModelsActualize();

    // Auto-reset: requests an immediate check.
    platform::Event hDbCheckEvent{false, false};
    // Manual-reset: set by NeedModelsActualize to abandon a running pass.
    platform::Event hDbConnectionStringChangedEvent{true, false};
    // Held for a whole pass and by NeedModelsActualize; PrevDataList and LoadedModelList are
    // touched only under it.
    platform::CriticalSection ModelLoadLock;
    PrevDataSortedList PrevDataList;
    recognition::PersonModelSortedList LoadedModelList;
    // Sample rows one samples query of a pass reads at most (SampleRun); set before a pass.
    size_t sampleRowBudget = SampleRun::kRowBudget;

    // The set this synchronizer keeps (read without locks by the workers).
    const recognition::PersonModelSortedList& WorkingSet() const { return workingSet_; }

private:
    struct Pass;
    bool WaitCommand(DbCommand& command, bool& aborted);
    void ApplyChanges(int& removed, int& paramsUpdated, int& samplesUpdated, int& added);
    // Appends a PrevData entry for a newly loaded person; false when there was no memory for it.
    bool RememberNewPerson(const recognition::PersonModel& model);
    // False, with the model destroyed, when the working set cannot grow.
    bool AddToWorkingSet(std::unique_ptr<recognition::PersonModel> model);

    platform::Event& termEvent_;
    MainFrameSink& sink_;
    const shell::Journal& journal_;
    recognition::PersonModelSortedList& workingSet_;
    const settings::SettingsHub& hub_;
    std::atomic<uint64_t> connectionGeneration_{0};
};

}  // namespace database
