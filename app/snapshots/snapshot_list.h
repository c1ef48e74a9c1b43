#pragma once
// Purpose: the snapshot page without a display: the snapshots in arrival order, the focused one,
//          the selection marks and cluster numbers, the grid they are laid out in, the clicks and
//          keys, and which commands are offered.
// Threads: the user-interface thread.
// Owns: the snapshot records.

#include "app/browser/cell_grid.h"
#include "app/snapshots/snapshot_record.h"

#include <optional>
#include <vector>

namespace snapshots {

// The context menu's and the toolbar's enabling.
struct SnapshotCommands {
    bool selectAll = false;
    bool deselectAll = false;
    bool save = false;
    bool remove = false;
    bool clusters = false;
};

class SnapshotList {
public:
    static constexpr int kCellSize = 160;
    // The square in a cell's top-left corner whose click toggles the selection.
    static constexpr int kMarkSize = 32;
    // A snapshot is taken only while fewer are held (one frame may take it beyond).
    static constexpr int kMaxHeld = 50;

    SnapshotList() : grid_(kCellSize, browser::NarrowViewport::Nothing) {}

    const std::vector<SnapshotRecord>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    std::optional<int> Focus() const { return focus_; }
    int SelectedCount() const;
    // `inFlight`: faces handed over for description whose snapshots have not arrived yet.
    static bool AcceptsRequest(int held, int inFlight) { return held + inFlight < kMaxHeld; }

    // New snapshots go to the end; the focus and the marks stay.
    void Append(std::vector<SnapshotRecord> records);

    void SelectAll();
    // Also removes the focus.
    void DeselectAll();
    // Removes the selected snapshots, or the focused one when none is selected.
    void RemoveTargets();
    // Keeps the records at the given ascending indices out; the focus follows its snapshot.
    void RemoveAt(const std::vector<size_t>& indices);
    void SetSelected(size_t index, bool selected);

    std::vector<recognition::FaceDescriptor> Descriptors() const;
    // One number per snapshot (0: none).
    void SetClusters(const std::vector<int>& clusters);

    SnapshotCommands Commands() const;

    const browser::CellGrid& Grid() const { return grid_; }
    void SetViewport(int width, int height) { grid_.SetViewport(width, height); }
    void SetTopRow(int row) { grid_.SetTopRow(row); }

    // A press focuses the cell; a left press in its mark square also toggles the mark. False off
    // the cells.
    bool Click(QPoint viewportPoint, browser::PadButton button);
    // Moves the focus and scrolls it into view; false when nothing changed.
    bool Key(browser::GridKey key);
    // The space bar: toggles the focused snapshot's mark.
    bool ToggleFocused();

private:
    void FocusOn(int index);

    std::vector<SnapshotRecord> items_;
    std::optional<int> focus_;
    browser::CellGrid grid_;
};

}  // namespace snapshots
