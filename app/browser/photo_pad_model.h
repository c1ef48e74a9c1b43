#pragma once
// Purpose: the photo pad of the person card without a display: its photos, the current one, the
//          horizontal strip's layout and scrolling, and which commands it offers.
// Threads: the user-interface thread.
// Owns: the decoded photos.

#include "app/database/photo_ops.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <optional>
#include <vector>

namespace browser {

struct PhotoItem {
    int32_t photoId = 0;
    QImage image;  // as drawn; null for stored bytes that are no picture

    static PhotoItem FromStored(const database::StoredPhoto& stored);
};

struct PhotoPadCommands {
    bool addFromFile = false;
    bool addFromClipboard = false;
    bool remove = false;
};

class PhotoPadModel {
public:
    static constexpr int kMaxPhotos = 10;
    // The room around each photo in the strip: the photo is this much lower than the strip.
    static constexpr int kItemMargin = 16;

    // A person's photos; none is current and the strip is scrolled to its start.
    void ShowPerson(std::vector<PhotoItem> photos);
    // No person: no photos and nothing can be added.
    void ShowNoPerson();
    // A photo just added: it goes to the end, becomes current and is scrolled into view.
    void Add(PhotoItem photo);
    // A deleted photo leaves the strip; when it was current, none is.
    void Remove(int32_t photoId);

    const std::vector<PhotoItem>& Items() const { return items_; }
    std::optional<int> Current() const { return current_; }
    std::optional<int32_t> CurrentPhotoId() const;

    PhotoPadCommands Commands(bool clipboardHoldsBitmap) const;

    // The strip: the visible width and the strip's height.
    void SetViewport(int width, int height);
    // The size a photo is drawn at: the strip height less the margin with the aspect kept, but
    // never wider than the photo's own width plus the margin (small photos are not blown up).
    QSize DrawnSize(int index) const;
    // The item's place in the strip (content coordinates): the drawn photo plus the margin, as
    // high as the strip, items left to right.
    QRect ItemRect(int index) const;
    // Where the photo is drawn inside its item (item coordinates).
    QRect ImageRect(int index) const;
    int ContentWidth() const;
    int ScrollRange() const;
    int Scroll() const { return scroll_; }
    void SetScroll(int position);
    // The item at a point of the viewport (scroll applied).
    std::optional<int> HitTest(QPoint viewportPoint) const;
    // A click on an item makes it current and brings it fully into view; returns whether the
    // point was on an item.
    bool Click(QPoint viewportPoint);

private:
    void ScrollIntoView(int index);

    std::vector<PhotoItem> items_;
    std::optional<int> current_;
    bool personShown_ = false;
    int width_ = 0;
    int height_ = 0;
    int scroll_ = 0;
};

}  // namespace browser
