#include "app/browser/sample_pad_model.h"

#include "app/browser/display_image.h"

#include <algorithm>

namespace browser {

SampleItem SampleItem::FromStored(const database::StoredSample& stored) {
    SampleItem item;
    item.sampleId = stored.sampleId;
    item.image = DecodeForDisplay(stored.image);
    item.descriptor = stored.descriptor;
    return item;
}

std::vector<int32_t> SampleTarget::SampleIds() const {
    std::vector<int32_t> ids;
    ids.reserve(samples.size());
    for (const database::ClipboardSample& sample : samples) ids.push_back(sample.sampleId);
    return ids;
}

void SamplePadModel::ShowPerson(int32_t personId, std::vector<SampleItem> samples) {
    personId_ = personId;
    items_ = std::move(samples);
    current_.reset();
    grid_.SetCount(Count());
    grid_.SetTopRow(0);
}

void SamplePadModel::ShowNoPerson() {
    personId_.reset();
    items_.clear();
    current_.reset();
    grid_.SetCount(0);
}

void SamplePadModel::Add(SampleItem sample) {
    items_.push_back(std::move(sample));
    grid_.SetCount(Count());
    MakeCurrent(Count() - 1);
}

void SamplePadModel::Remove(const std::vector<int32_t>& sampleIds) {
    const std::optional<int32_t> currentId =
        current_ ? std::optional<int32_t>(items_[*current_].sampleId) : std::nullopt;
    std::erase_if(items_, [&sampleIds](const SampleItem& item) {
        return std::find(sampleIds.begin(), sampleIds.end(), item.sampleId) != sampleIds.end();
    });
    current_.reset();
    for (int i = 0; currentId && i < Count(); ++i) {
        if (items_[i].sampleId == *currentId) current_ = i;
    }
    grid_.SetCount(Count());
}

int SamplePadModel::SelectedCount() const {
    return static_cast<int>(
        std::count_if(items_.begin(), items_.end(), [](const SampleItem& item) { return item.selected; }));
}

void SamplePadModel::SelectAll() {
    for (SampleItem& item : items_) item.selected = true;
}

void SamplePadModel::ClearAll() {
    for (SampleItem& item : items_) item.selected = false;
}

std::optional<SampleTarget> SamplePadModel::Target() const {
    SampleTarget target;
    if (SelectedCount() > 0) {
        target.choice = database::SampleChoice::Selected;
        for (const SampleItem& item : items_) {
            if (item.selected) target.samples.push_back({item.sampleId, item.descriptor});
        }
        return target;
    }
    if (!current_) return std::nullopt;
    target.choice = database::SampleChoice::Current;
    target.samples.push_back({items_[*current_].sampleId, items_[*current_].descriptor});
    return target;
}

SamplePadCommands SamplePadModel::Commands(bool clipboardHoldsBitmap,
                                           const database::SampleClipboard* clipboard) const {
    SamplePadCommands commands;
    commands.addFromFile = personId_.has_value() && Count() < kMaxSamples;
    commands.addFromClipboard = commands.addFromFile && clipboardHoldsBitmap;
    commands.selectAll = Count() > 0;
    commands.clearAll = SelectedCount() > 0;
    commands.cut = Target().has_value();
    commands.remove = commands.cut;
    // Clustering compares descriptors; a sample stored without one takes no part.
    commands.clusters = Descriptors().size() >= 2;
    commands.paste = personId_ && clipboard != nullptr && database::CanPasteSamples(*clipboard, *personId_, Count());
    return commands;
}

std::vector<recognition::FaceDescriptor> SamplePadModel::Descriptors() const {
    std::vector<recognition::FaceDescriptor> descriptors;
    for (const SampleItem& item : items_) {
        if (item.descriptor) descriptors.push_back(*item.descriptor);
    }
    return descriptors;
}

void SamplePadModel::SetClusterLabels(const std::vector<int>& labels) {
    size_t next = 0;
    for (SampleItem& item : items_) {
        item.cluster = 0;
        if (item.descriptor && next < labels.size()) item.cluster = labels[next++];
    }
}

void SamplePadModel::ClearClusterLabels() {
    for (SampleItem& item : items_) item.cluster = 0;
}

void SamplePadModel::SetViewport(int width, int height) { grid_.SetViewport(width, height); }

bool SamplePadModel::Click(QPoint viewportPoint, PadButton button) {
    const std::optional<int> index = HitTest(viewportPoint);
    if (!index) return false;
    MakeCurrent(*index);
    const QRect cell = CellRect(*index);
    const QRect mark(cell.topLeft(), QSize(kMarkSize, kMarkSize));
    if (button == PadButton::Left && mark.contains(viewportPoint)) items_[*index].selected = !items_[*index].selected;
    return true;
}

bool SamplePadModel::Key(GridKey key) {
    const std::optional<int> target = grid_.KeyTarget(current_, key);
    if (!target || target == current_) return false;
    MakeCurrent(*target);
    return true;
}

bool SamplePadModel::ToggleCurrent() {
    if (!current_) return false;
    items_[*current_].selected = !items_[*current_].selected;
    return true;
}

void SamplePadModel::MakeCurrent(int index) {
    current_ = index;
    grid_.Reveal(index);
}

}  // namespace browser
