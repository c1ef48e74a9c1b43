// The snapshot page without a display: grid, focus, marks, commands, questions, clusters and the
// save hand-over.

#include "app/snapshots/snapshot_list.h"
#include "app/snapshots/snapshot_actions.h"
#include "app/snapshots/snapshot_texts.h"

#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using browser::GridKey;
using browser::PadButton;
using snapshots::SnapshotList;
using snapshots::SnapshotRecord;

// Descriptors on one axis: faces `at` apart by whole units are different people, 0.1 apart the same.
SnapshotRecord Face(float at) {
    SnapshotRecord record;
    record.descriptor.values[0] = at;
    return record;
}

SnapshotList ListOf(int count, int width = 480, int height = 320) {
    SnapshotList list;
    std::vector<SnapshotRecord> records;
    for (int i = 0; i < count; ++i) records.push_back(Face(float(i)));
    list.Append(std::move(records));
    list.SetViewport(width, height);
    return list;
}

TEST(SnapshotGrid, ColumnsFollowTheWidthAndNothingIsLaidOutBelowOneCell) {
    SnapshotList list = ListOf(7, 150, 400);
    EXPECT_EQ(list.Grid().Columns(), 0);
    EXPECT_EQ(list.Grid().Rows(), 0);
    EXPECT_TRUE(list.Grid().CellRect(0).isEmpty());
    EXPECT_FALSE(list.Click({10, 10}, PadButton::Left));

    list.SetViewport(479, 400);  // two whole cells
    EXPECT_EQ(list.Grid().Columns(), 2);
    EXPECT_EQ(list.Grid().Rows(), 4);
    EXPECT_EQ(list.Grid().CellRect(3), QRect(160, 160, 160, 160));
    EXPECT_EQ(list.Grid().HitTest({170, 170}), 3);
    EXPECT_EQ(list.Grid().HitTest({330, 10}), std::nullopt);   // the part column
    EXPECT_EQ(list.Grid().HitTest({170, 490}), std::nullopt);  // past the last snapshot
}

TEST(SnapshotGrid, TheTopRowStaysInRangeWhenTheViewportGrowsOrSnapshotsGo) {
    SnapshotList list = ListOf(10, 320, 320);  // 5 rows, 2 shown
    EXPECT_EQ(list.Grid().ScrollRange(), 3);
    list.SetTopRow(9);
    EXPECT_EQ(list.Grid().TopRow(), 3);
    EXPECT_EQ(list.Grid().CellRect(6).top(), 0);
    list.SetViewport(320, 640);
    EXPECT_EQ(list.Grid().TopRow(), 1);
    list.SelectAll();
    list.RemoveTargets();
    EXPECT_EQ(list.Grid().TopRow(), 0);
    EXPECT_EQ(list.Grid().ScrollRange(), 0);
}

TEST(SnapshotGrid, KeysMoveTheFocusAndScrollItIntoView) {
    SnapshotList list = ListOf(11, 480, 320);  // 3 columns, 4 rows, 2 shown
    EXPECT_TRUE(list.Key(GridKey::Right));     // no focus yet: the first
    EXPECT_EQ(list.Focus(), 0);
    EXPECT_FALSE(list.Key(GridKey::Left));
    EXPECT_TRUE(list.Key(GridKey::End));
    EXPECT_EQ(list.Focus(), 10);
    EXPECT_EQ(list.Grid().TopRow(), 2);
    EXPECT_FALSE(list.Key(GridKey::Right));
    EXPECT_TRUE(list.Key(GridKey::Up));
    EXPECT_EQ(list.Focus(), 7);
    EXPECT_TRUE(list.Key(GridKey::Right));
    EXPECT_TRUE(list.Key(GridKey::Down));  // under the gap of the short last row: the last one
    EXPECT_EQ(list.Focus(), 10);
    EXPECT_TRUE(list.Key(GridKey::PageUp));
    EXPECT_EQ(list.Focus(), 4);
    EXPECT_TRUE(list.Key(GridKey::Home));
    EXPECT_EQ(list.Focus(), 0);
    EXPECT_EQ(list.Grid().TopRow(), 0);
    EXPECT_TRUE(list.Key(GridKey::PageDown));
    EXPECT_EQ(list.Focus(), 6);
    EXPECT_EQ(list.Grid().TopRow(), 1);
}

TEST(SnapshotList, ClicksFocusAndOnlyTheMarkSquareToggles) {
    SnapshotList list = ListOf(4);
    EXPECT_TRUE(list.Click({170, 40}, PadButton::Left));
    EXPECT_EQ(list.Focus(), 1);
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_TRUE(list.Click({160 + 31, 31}, PadButton::Left));
    EXPECT_TRUE(list.Items()[1].selected);
    EXPECT_TRUE(list.Click({20, 20}, PadButton::Right));  // focuses, never toggles
    EXPECT_EQ(list.Focus(), 0);
    EXPECT_FALSE(list.Items()[0].selected);
    EXPECT_TRUE(list.ToggleFocused());
    EXPECT_EQ(list.SelectedCount(), 2);
    list.DeselectAll();
    EXPECT_EQ(list.SelectedCount(), 0);
    EXPECT_EQ(list.Focus(), std::nullopt);
    EXPECT_FALSE(list.ToggleFocused());
}

TEST(SnapshotList, CommandsAreOfferedByWhatIsHeldSelectedAndFocused) {
    SnapshotList list;
    snapshots::SnapshotCommands c = list.Commands();
    EXPECT_FALSE(c.selectAll || c.deselectAll || c.save || c.remove || c.clusters);
    list = ListOf(1);
    c = list.Commands();
    EXPECT_TRUE(c.selectAll);
    EXPECT_FALSE(c.deselectAll || c.save || c.remove || c.clusters);
    list.Key(GridKey::Home);
    c = list.Commands();
    EXPECT_TRUE(c.save && c.remove);
    EXPECT_FALSE(c.deselectAll);
    list = ListOf(2);
    list.SelectAll();
    c = list.Commands();
    EXPECT_TRUE(c.deselectAll && c.save && c.remove && c.clusters);
}

TEST(SnapshotTexts, DeleteQuestionsTakeTheEndingsOfTheirNumber) {
    EXPECT_EQ(snapshots::DeleteSelectedQuestion(21), QStringLiteral("Удалить 21 выбранный снимок?"));
    EXPECT_EQ(snapshots::DeleteSelectedQuestion(12), QStringLiteral("Удалить 12 выбранных снимков?"));
    EXPECT_EQ(snapshots::DeleteSelectedQuestion(3), QStringLiteral("Удалить 3 выбранных снимка?"));
    EXPECT_EQ(snapshots::DeleteSelectedQuestion(111), QStringLiteral("Удалить 111 выбранных снимков?"));
    EXPECT_EQ(snapshots::DeleteSelectedQuestion(50), QStringLiteral("Удалить 50 выбранных снимков?"));
    EXPECT_EQ(snapshots::SnapshotsFullNotice(),
              QStringLiteral("Достигнут максимум (50) числа снимков в панели.\nУдалите ненужные снимки или "
                             "сохраните их как образцы персон."));
}

TEST(SnapshotActions, DeleteAsksForTheSelectedOrTheFocusedAndKeepsAllOnNo) {
    dbtest::ScriptedDialogs dialogs;
    SnapshotList list = ListOf(5);
    EXPECT_FALSE(snapshots::DeleteSnapshots(list, dialogs));  // nothing to delete: no question
    EXPECT_TRUE(dialogs.questions.isEmpty());

    list.Click({370, 60}, PadButton::Left);  // focuses the third, off its mark
    dialogs.answers = {database::Answer::No};
    EXPECT_FALSE(snapshots::DeleteSnapshots(list, dialogs));
    EXPECT_EQ(list.Count(), 5);
    EXPECT_TRUE(snapshots::DeleteSnapshots(list, dialogs));
    EXPECT_EQ(dialogs.questions, QStringList(2, QStringLiteral("Удалить выбранный снимок?")));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Focus(), std::nullopt);
    EXPECT_EQ(list.Items()[2].descriptor.values[0], 3.0f);

    list.Click({10, 10}, PadButton::Left);   // marks the first
    list.Click({330, 10}, PadButton::Left);  // marks the third and focuses it
    EXPECT_EQ(list.SelectedCount(), 2);
    EXPECT_TRUE(snapshots::DeleteSnapshots(list, dialogs));
    EXPECT_EQ(dialogs.questions.last(), QStringLiteral("Удалить 2 выбранных снимка?"));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items()[0].descriptor.values[0], 1.0f);
    EXPECT_EQ(list.Items()[1].descriptor.values[0], 4.0f);
}

TEST(SnapshotActions, TwoOfOneFaceAndOneOfAnotherMakeClustersOneAndTwo) {
    dbtest::ScriptedDialogs dialogs;
    SnapshotList list;
    list.Append({Face(0), Face(3), Face(0.1f)});
    int redrawn = 0;
    snapshots::ClusterSnapshots(list, dialogs, dialogs, [&] {
        ++redrawn;
        EXPECT_TRUE(dialogs.notices.isEmpty());  // the numbers are drawn before the notice
        EXPECT_EQ(dialogs.waitDepth, 0);         // and the wait cursor is gone
    });
    EXPECT_EQ(redrawn, 1);
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Предположительно образцы принадлежат 2 персонам!")});
    const int same = list.Items()[0].cluster;
    EXPECT_EQ(list.Items()[2].cluster, same);
    EXPECT_EQ(std::set<int>({same, list.Items()[1].cluster}), std::set<int>({1, 2}));

    // All one person: the numbers go.
    list.RemoveAt({1});
    snapshots::ClusterSnapshots(list, dialogs, dialogs, [] {});
    EXPECT_EQ(dialogs.notices.last(), QStringLiteral("Все образцы принадлежат одной персоне."));
    EXPECT_EQ(list.Items()[0].cluster, 0);
    EXPECT_EQ(list.Items()[1].cluster, 0);
}

TEST(SnapshotActions, SavedSnapshotsLeaveTheListAndDeclinedOnesLoseTheirMark) {
    SnapshotList list = ListOf(4);
    list.SelectAll();
    list.Click({170, 40}, PadButton::Left);  // focus 1
    std::vector<database::Snapshot> seen;
    database::SnapshotChoice seenChoice = database::SnapshotChoice::Current;
    const auto save = [&](std::vector<database::Snapshot>& panel, database::SnapshotChoice choice, size_t) {
        seen = panel;
        seenChoice = choice;
        panel[1].selected = false;  // the operator said No to the second one
        return database::SnapshotSaveOutcome{{0, 2, 3}};
    };
    EXPECT_TRUE(snapshots::SaveSnapshots(list, save));
    EXPECT_EQ(seenChoice, database::SnapshotChoice::Selected);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].descriptor.values[0], 3.0f);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_FALSE(list.Items()[0].selected);
    EXPECT_EQ(list.Items()[0].descriptor.values[0], 1.0f);
    EXPECT_EQ(list.Focus(), 0);

    // Nothing selected: the focused one alone, by its index.
    size_t seenCurrent = 99;
    list = ListOf(3);
    list.Click({330, 10}, PadButton::Right);
    EXPECT_FALSE(snapshots::SaveSnapshots(
        list, [&](std::vector<database::Snapshot>&, database::SnapshotChoice choice, size_t current) {
            seenChoice = choice;
            seenCurrent = current;
            return database::SnapshotSaveOutcome{};
        }));
    EXPECT_EQ(seenChoice, database::SnapshotChoice::Current);
    EXPECT_EQ(seenCurrent, 2u);
    EXPECT_EQ(list.Count(), 3);
}

}  // namespace
