#include "app/snapshots/snapshot_list.h"

#include <algorithm>
#include <iterator>

namespace snapshots {

int SnapshotList::SelectedCount() const {
    return static_cast<int>(std::count_if(items_.begin(), items_.end(), [](const auto& s) { return s.selected; }));
}

void SnapshotList::Append(std::vector<SnapshotRecord> records) {
    items_.insert(items_.end(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    grid_.SetCount(Count());
}

void SnapshotList::SelectAll() {
    for (SnapshotRecord& s : items_) s.selected = true;
}

void SnapshotList::DeselectAll() {
    for (SnapshotRecord& s : items_) s.selected = false;
    focus_.reset();
}

void SnapshotList::RemoveTargets() {
    std::vector<size_t> targets;
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].selected) targets.push_back(i);
    if (targets.empty() && focus_) targets.push_back(static_cast<size_t>(*focus_));
    RemoveAt(targets);
}

void SnapshotList::RemoveAt(const std::vector<size_t>& indices) {
    std::optional<int> focus = focus_;
    std::vector<SnapshotRecord> kept;
    kept.reserve(items_.size());
    size_t next = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (next < indices.size() && indices[next] == i) {
            ++next;
            if (focus_ == static_cast<int>(i)) focus.reset();
            continue;
        }
        if (focus_ == static_cast<int>(i)) focus = static_cast<int>(kept.size());
        kept.push_back(std::move(items_[i]));
    }
    items_ = std::move(kept);
    focus_ = focus;
    grid_.SetCount(Count());
}

void SnapshotList::SetSelected(size_t index, bool selected) {
    if (index < items_.size()) items_[index].selected = selected;
}

std::vector<recognition::FaceDescriptor> SnapshotList::Descriptors() const {
    std::vector<recognition::FaceDescriptor> descriptors;
    descriptors.reserve(items_.size());
    for (const SnapshotRecord& s : items_) descriptors.push_back(s.descriptor);
    return descriptors;
}

void SnapshotList::SetClusters(const std::vector<int>& clusters) {
    for (size_t i = 0; i < items_.size(); ++i) items_[i].cluster = i < clusters.size() ? clusters[i] : 0;
}

SnapshotCommands SnapshotList::Commands() const {
    SnapshotCommands commands;
    commands.selectAll = Count() > 0;
    commands.deselectAll = SelectedCount() > 0;
    commands.save = commands.deselectAll || focus_.has_value();
    commands.remove = commands.save;
    commands.clusters = Count() >= 2;
    return commands;
}

bool SnapshotList::Click(QPoint viewportPoint, browser::PadButton button) {
    const std::optional<int> index = grid_.HitTest(viewportPoint);
    if (!index) return false;
    focus_ = *index;
    const QRect mark(grid_.CellRect(*index).topLeft(), QSize(kMarkSize, kMarkSize));
    if (button == browser::PadButton::Left && mark.contains(viewportPoint))
        items_[*index].selected = !items_[*index].selected;
    return true;
}

bool SnapshotList::Key(browser::GridKey key) {
    const std::optional<int> target = grid_.KeyTarget(focus_, key);
    if (!target || target == focus_) return false;
    FocusOn(*target);
    return true;
}

bool SnapshotList::ToggleFocused() {
    if (!focus_) return false;
    items_[*focus_].selected = !items_[*focus_].selected;
    return true;
}

void SnapshotList::FocusOn(int index) {
    focus_ = index;
    grid_.Reveal(index);
}

}  // namespace snapshots
