#pragma once
// Purpose: the sample pad of the person card without a display: its samples with their
//          selection marks and cluster labels, the current cell, the grid's geometry and
//          scrolling, the keys, and which samples and commands the pad offers.
// Threads: the user-interface thread.
// Owns: the decoded samples and their descriptors.

#include "app/browser/cell_grid.h"
#include "app/database/sample_clipboard.h"
#include "app/database/sample_ops.h"
#include "app/database/sample_removal.h"
#include "app/recognition/face_descriptor.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <optional>
#include <vector>

namespace browser {

struct SampleItem {
    int32_t sampleId = 0;
    QImage image;  // as drawn; null for stored bytes that are no picture
    std::optional<recognition::FaceDescriptor> descriptor;
    bool selected = false;
    int cluster = 0;  // 0: none

    static SampleItem FromStored(const database::StoredSample& stored);
};

// The samples a command is about: the selected ones when there are any, else the current one.
struct SampleTarget {
    database::SampleChoice choice = database::SampleChoice::Current;
    std::vector<database::ClipboardSample> samples;  // in the pad's order

    std::vector<int32_t> SampleIds() const;
};

struct SamplePadCommands {
    bool addFromFile = false;
    bool addFromClipboard = false;
    bool selectAll = false;
    bool clearAll = false;
    bool cut = false;
    bool paste = false;
    bool remove = false;
    bool clusters = false;
};

class SamplePadModel {
public:
    static constexpr int kMaxSamples = 16;
    static constexpr int kCellSize = 160;
    // The square in a cell's top-left corner that holds the selection mark, and the one in its
    // bottom-right corner that holds the cluster number.
    static constexpr int kMarkSize = 32;

    // A person's samples: nothing selected, none current, scrolled to the top.
    void ShowPerson(int32_t personId, std::vector<SampleItem> samples);
    void ShowNoPerson();
    std::optional<int32_t> PersonId() const { return personId_; }

    // A sample just made: it goes to the end and becomes current.
    void Add(SampleItem sample);
    // Deleted or moved samples leave the pad.
    void Remove(const std::vector<int32_t>& sampleIds);

    const std::vector<SampleItem>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    std::optional<int> Current() const { return current_; }
    int SelectedCount() const;

    void SelectAll();
    void ClearAll();
    // Nothing when no sample is selected or current.
    std::optional<SampleTarget> Target() const;

    // clipboard: the browser's sample clipboard, or nothing while it has none.
    SamplePadCommands Commands(bool clipboardHoldsBitmap, const database::SampleClipboard* clipboard) const;

    // The descriptors of the samples that have one, in the pad's order (for the checks of a new
    // or pasted sample, and for clustering).
    std::vector<recognition::FaceDescriptor> Descriptors() const;
    // One label per descriptor of Descriptors() (0: none); samples without a descriptor keep none.
    void SetClusterLabels(const std::vector<int>& labels);
    void ClearClusterLabels();

    // The grid: the viewport's size decides the columns and a page of rows.
    void SetViewport(int width, int height);
    // A viewport narrower than a cell still shows one column.
    int Columns() const { return grid_.Columns(); }
    int Rows() const { return grid_.Rows(); }
    int PageRows() const { return grid_.PageRows(); }
    // The first row shown; the range is the rows that do not fit.
    int TopRow() const { return grid_.TopRow(); }
    int ScrollRange() const { return grid_.ScrollRange(); }
    void SetTopRow(int row) { grid_.SetTopRow(row); }
    // The cell in viewport coordinates (scroll applied).
    QRect CellRect(int index) const { return grid_.CellRect(index); }
    std::optional<int> HitTest(QPoint viewportPoint) const { return grid_.HitTest(viewportPoint); }

    // A click makes the cell current; a left click in its mark square also toggles the mark.
    // Returns whether the point was on a cell.
    bool Click(QPoint viewportPoint, PadButton button);
    // Returns whether the key did anything; the current cell is kept in view.
    bool Key(GridKey key);
    // The space bar: toggles the current sample's mark; false without a current sample.
    bool ToggleCurrent();

private:
    void MakeCurrent(int index);

    std::optional<int32_t> personId_;
    std::vector<SampleItem> items_;
    std::optional<int> current_;
    CellGrid grid_{kCellSize, NarrowViewport::OneColumn};
};

}  // namespace browser
