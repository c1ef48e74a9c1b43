#include "app/browser/photo_pad_model.h"

#include "app/browser/display_image.h"

#include <algorithm>

namespace browser {

PhotoItem PhotoItem::FromStored(const database::StoredPhoto& stored) {
    return PhotoItem{stored.photoId, DecodeForDisplay(stored.image)};
}

void PhotoPadModel::ShowPerson(std::vector<PhotoItem> photos) {
    items_ = std::move(photos);
    current_.reset();
    personShown_ = true;
    scroll_ = 0;
}

void PhotoPadModel::ShowNoPerson() {
    items_.clear();
    current_.reset();
    personShown_ = false;
    scroll_ = 0;
}

void PhotoPadModel::Add(PhotoItem photo) {
    items_.push_back(std::move(photo));
    current_ = static_cast<int>(items_.size()) - 1;
    ScrollIntoView(*current_);
}

void PhotoPadModel::Remove(int32_t photoId) {
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [photoId](const PhotoItem& item) { return item.photoId == photoId; });
    if (it == items_.end()) return;
    const int index = static_cast<int>(it - items_.begin());
    items_.erase(it);
    if (current_ == index) {
        current_.reset();
    } else if (current_ && *current_ > index) {
        --*current_;
    }
    SetScroll(scroll_);
}

std::optional<int32_t> PhotoPadModel::CurrentPhotoId() const {
    if (!current_) return std::nullopt;
    return items_[*current_].photoId;
}

PhotoPadCommands PhotoPadModel::Commands(bool clipboardHoldsBitmap) const {
    PhotoPadCommands commands;
    commands.addFromFile = personShown_ && static_cast<int>(items_.size()) < kMaxPhotos;
    commands.addFromClipboard = commands.addFromFile && clipboardHoldsBitmap;
    commands.remove = current_.has_value();
    return commands;
}

void PhotoPadModel::SetViewport(int width, int height) {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    SetScroll(scroll_);
}

QSize PhotoPadModel::DrawnSize(int index) const {
    const QImage& image = items_[index].image;
    const int height = std::max(0, height_ - kItemMargin);
    // A picture that could not be decoded keeps a square place, so it can still be chosen and deleted.
    if (image.isNull()) return {height, height};
    int width = static_cast<int>((static_cast<int64_t>(image.width()) * height + image.height() / 2) / image.height());
    if (width <= image.width() + kItemMargin) return {width, height};
    width = image.width() + kItemMargin;
    const int cappedHeight =
        static_cast<int>((static_cast<int64_t>(image.height()) * width + image.width() / 2) / image.width());
    return {width, cappedHeight};
}

QRect PhotoPadModel::ItemRect(int index) const {
    int left = 0;
    for (int i = 0; i < index; ++i) left += DrawnSize(i).width() + kItemMargin;
    return {left, 0, DrawnSize(index).width() + kItemMargin, height_};
}

QRect PhotoPadModel::ImageRect(int index) const {
    const QSize drawn = DrawnSize(index);
    return {kItemMargin / 2, (height_ - drawn.height()) / 2, drawn.width(), drawn.height()};
}

int PhotoPadModel::ContentWidth() const {
    int width = 0;
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) width += DrawnSize(i).width() + kItemMargin;
    return width;
}

int PhotoPadModel::ScrollRange() const { return std::max(0, ContentWidth() - width_); }

void PhotoPadModel::SetScroll(int position) { scroll_ = std::clamp(position, 0, ScrollRange()); }

std::optional<int> PhotoPadModel::HitTest(QPoint viewportPoint) const {
    const QPoint content = viewportPoint + QPoint(scroll_, 0);
    for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
        if (ItemRect(i).contains(content)) return i;
    }
    return std::nullopt;
}

bool PhotoPadModel::Click(QPoint viewportPoint) {
    const std::optional<int> index = HitTest(viewportPoint);
    if (!index) return false;
    current_ = index;
    ScrollIntoView(*index);
    return true;
}

void PhotoPadModel::ScrollIntoView(int index) {
    const QRect item = ItemRect(index);
    // An item wider than the strip shows its start.
    if (item.left() < scroll_ || item.width() > width_) {
        SetScroll(item.left());
    } else if (item.right() >= scroll_ + width_) {
        SetScroll(item.right() + 1 - width_);
    }
}

}  // namespace browser
