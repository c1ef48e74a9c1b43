#pragma once
// Purpose: saving faces caught by a camera (the snapshot panel) as samples of a person the
//          operator chooses, on a connection of the action's own.
// Threads: the user-interface thread.
// Owns: the connection it opens, for the call's duration.

#include "app/database/db_operation.h"
#include "app/database/operator_dialogs.h"
#include "app/database/person_name.h"
#include "app/recognition/face_descriptor.h"
#include "app/shell/journal.h"

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace database {

struct Snapshot {
    cv::Mat chip;  // 150x150, capture byte order
    recognition::FaceDescriptor descriptor;
    bool selected = false;
};

struct ChosenPerson {
    int32_t personId = 0;
    int sampleCount = 0;
    PersonName name;
};

// The person chooser ("Выбор персоны для сохранения образцов") on the action's connection;
// nothing when the operator cancelled.
using PersonChooser = std::function<std::optional<ChosenPerson>(DbConnection& connection)>;

// Which snapshots: the one current snapshot, or every selected one in panel order.
enum class SnapshotChoice { Current, Selected };

struct SnapshotSaveOutcome {
    std::vector<size_t> savedIndices;  // into the panel, ascending; they leave the panel
};

// Declined snapshots of a Selected run lose their selection in `panel`. current: the index of the
// current snapshot (used with Current).
SnapshotSaveOutcome SaveSnapshotsAsSamples(DbUserInterface& ui, OperatorDialogs& dialogs, const shell::Journal& journal,
                                           const QString& connectionString, const PersonChooser& chooser,
                                           std::vector<Snapshot>& panel, SnapshotChoice choice, size_t current = 0);

}  // namespace database
