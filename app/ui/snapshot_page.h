#pragma once
// Purpose: the "Снимки" page of the right panel: its toolbar ("Сохранить", "Удалить",
//          "Кластеры"), the scrolled grid of 160x160 snapshot cells with their selection marks
//          and cluster numbers, the keys and the context menu "CameraSamples".
//          snapshots::SnapshotList decides the layout, the selection and what is offered; the
//          commands with questions or database work are snapshots::DeleteSnapshots,
//          ClusterSnapshots and SaveSnapshots.
// Threads: the user-interface thread only.
// Owns: its child widgets (Qt parent ownership) and the snapshots; not the describer.

#include "app/shell/journal.h"
#include "app/snapshots/snapshot_describer.h"
#include "app/snapshots/snapshot_list.h"
#include "app/ui/item_pad.h"
#include "app/ui/operator_boxes.h"
#include "settings/settings_hub.h"

#include <functional>
#include <vector>

class QAction;

namespace ui {

class SnapshotPage final : public ItemPad {
public:
    // describer: where the snapshots come from (null: none arrive); it must outlive the page.
    // journal: takes the database entries of saved samples. hub: the connection string the samples
    // are saved with; it must outlive the page.
    SnapshotPage(snapshots::SnapshotDescriber* describer, const shell::Journal& journal,
                 const settings::SettingsHub& hub, QWidget* parent = nullptr);
    ~SnapshotPage() override;

    // New snapshots were added (the right panel makes tab 1 blink unless it is shown).
    std::function<void()> onSnapshotsArrived;
    // Any click, key or command on the page (the right panel stops tab 1's blinking).
    std::function<void()> onInput;

    // The snapshot command's limit: the snapshots held and those being described.
    int HeldCount() const;
    bool AcceptsSnapshot() const;

    // Appends snapshots, lays the grid out and reports the arrival (the describer's receiver).
    void AddSnapshots(std::vector<snapshots::SnapshotRecord> records);

    // Commands 40043, 40044, 40045, 40046 and 40047.
    void SaveAsSamples();
    void DeleteSnapshots();
    void ShowClusters();
    void SelectAll();
    void DeselectAll();

    const snapshots::SnapshotList& List() const { return list_; }
    QWidget* Pad() const { return viewport_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddCommand(int command, const QString& text, const QKeySequence& shortcut, void (SnapshotPage::*run)());
    // A command from the menu, a key or the toolbar: it counts as input and runs when offered.
    void Run(void (SnapshotPage::*command)());
    void Rebuild();
    void Place() override;
    void RefreshCommands() override;
    void PaintItem(QWidget* item, int index) override;
    void ClickAt(QPoint viewportPoint, Qt::MouseButton button) override;
    bool ViewportKey(const QKeyEvent& press) override;
    void NoteInput();

    snapshots::SnapshotDescriber* describer_;
    const shell::Journal& journal_;
    const settings::SettingsHub& hub_;
    OperatorBoxes boxes_;
    snapshots::SnapshotList list_;
    // Menu entries and toolbar buttons of one command share its enabling.
    struct Command {
        QAction* item = nullptr;
        QAction* button = nullptr;
        void SetEnabled(bool enabled) const;
    };
    Command selectAll_;
    Command deselectAll_;
    Command save_;
    Command remove_;
    Command clusters_;
};

}  // namespace ui
