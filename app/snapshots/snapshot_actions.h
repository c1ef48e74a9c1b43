#pragma once
// Purpose: the snapshot page's commands that talk to the operator or the database: delete with
//          its question, clusters with their notice, and saving as samples of a person.
// Threads: the user-interface thread.
// Owns: nothing; the list and the dialogs are the page's.

#include "app/database/db_operation.h"
#include "app/database/operator_dialogs.h"
#include "app/database/snapshot_samples.h"
#include "app/snapshots/snapshot_list.h"

#include <functional>
#include <vector>

namespace snapshots {

// Asks and, on Yes, removes the selected snapshots (or the focused one). False when nothing was
// removed.
bool DeleteSnapshots(SnapshotList& list, database::OperatorDialogs& dialogs);

// Numbers the snapshots by likely person (none when all are one) under the wait cursor, has them
// redrawn, then tells the operator: the numbers are on screen while the notice is.
void ClusterSnapshots(SnapshotList& list, database::DbUserInterface& ui, database::OperatorDialogs& dialogs,
                      const std::function<void()>& redraw);

// The sample saving of the database, given the page's snapshots in order: declined ones lose
// their selection in `panel`; the outcome names the saved ones.
using SnapshotSaver = std::function<database::SnapshotSaveOutcome(std::vector<database::Snapshot>& panel,
                                                                  database::SnapshotChoice choice, size_t current)>;

// Saves the selected snapshots, or the focused one when none is selected. Saved snapshots leave
// the list, declined ones keep their place without their mark. False when nothing was saved.
bool SaveSnapshots(SnapshotList& list, const SnapshotSaver& save);

}  // namespace snapshots
