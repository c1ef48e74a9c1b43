#include "app/snapshots/snapshot_actions.h"

#include "app/database/sample_clusters.h"
#include "app/database/sample_texts.h"
#include "app/snapshots/snapshot_texts.h"

namespace snapshots {

bool DeleteSnapshots(SnapshotList& list, database::OperatorDialogs& dialogs) {
    const int selected = list.SelectedCount();
    if (selected == 0 && !list.Focus()) return false;
    const QString question = selected > 0 ? DeleteSelectedQuestion(selected) : DeleteFocusedQuestion();
    if (dialogs.AskYesNo(question, database::DefaultButton::Second) != database::Answer::Yes) return false;
    list.RemoveTargets();
    return true;
}

void ClusterSnapshots(SnapshotList& list, database::DbUserInterface& ui, database::OperatorDialogs& dialogs,
                      const std::function<void()>& redraw) {
    if (list.Count() < 2) return;
    database::SampleClusters clusters;
    {
        const database::WaitCursorScope cursor(ui);
        clusters = database::ClusterSamples(list.Descriptors());
    }
    std::vector<int> numbers(static_cast<size_t>(list.Count()), 0);
    if (clusters.count > 1)
        for (size_t i = 0; i < numbers.size(); ++i) numbers[i] = clusters.labels[i] + 1;
    list.SetClusters(numbers);
    redraw();
    if (clusters.count > 1) {
        dialogs.ShowTimedNotice(database::ClustersNotice(clusters.count), database::NoticeIcon::Information,
                                std::chrono::milliseconds(5000));
    } else {
        dialogs.ShowTimedNotice(database::OneClusterNotice(), database::NoticeIcon::Information,
                                std::chrono::milliseconds(3000));
    }
}

bool SaveSnapshots(SnapshotList& list, const SnapshotSaver& save) {
    const bool anySelected = list.SelectedCount() > 0;
    if (!anySelected && !list.Focus()) return false;
    std::vector<database::Snapshot> panel;
    panel.reserve(list.Items().size());
    for (const SnapshotRecord& s : list.Items()) panel.push_back({s.chip, s.descriptor, s.selected});
    const database::SnapshotChoice choice =
        anySelected ? database::SnapshotChoice::Selected : database::SnapshotChoice::Current;
    const size_t current = list.Focus() ? static_cast<size_t>(*list.Focus()) : 0;
    const database::SnapshotSaveOutcome outcome = save(panel, choice, current);
    for (size_t i = 0; i < panel.size(); ++i) list.SetSelected(i, panel[i].selected);
    list.RemoveAt(outcome.savedIndices);
    return !outcome.savedIndices.empty();
}

}  // namespace snapshots
