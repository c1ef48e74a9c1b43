#pragma once
// What the database check thread tells the main frame about loading the working model set.
//
// Every notification may be posted from any thread and returns without waiting: the main frame
// handles it later on its own thread, in the order one thread posted them, and drops what is
// still queued when it is destroyed. Tests record the calls.

#include "app/shell/journal.h"

namespace database {

class MainFrameSink {
public:
    virtual ~MainFrameSink() = default;

    // A pass starts with this many remembered persons (0: a first load, else an update).
    virtual void PassStarted(int rememberedPersons) = 0;
    // The persons query counted this many persons.
    virtual void PersonsTotal(int total) = 0;
    // Rows read so far (1-based) of total.
    virtual void PersonsProgress(int done, int total) = 0;
    // The changes are being applied to the working set.
    virtual void ApplyingChanges() = 0;
    // The working set now holds this many models.
    virtual void ModelCount(int models) = 0;
    // The load finished, or cannot run: the progress and the loading window go.
    virtual void ModelLoadingDone() = 0;
    // The working set was dropped for a reload: the loading window shows again and the next
    // check is asked for at once.
    virtual void ReloadModels() = 0;

    // Any thread: the event journal's current database state, as last received by the journal's
    // database tab.
    virtual shell::DatabaseState JournalDatabaseState() const = 0;
};

}  // namespace database
