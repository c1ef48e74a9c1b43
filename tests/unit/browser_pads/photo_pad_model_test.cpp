// The photo strip's layout, scrolling and command rules.

#include "app/browser/photo_pad_model.h"

#include <gtest/gtest.h>

namespace {

using browser::PhotoItem;
using browser::PhotoPadModel;

std::vector<PhotoItem> Photos(std::initializer_list<QSize> sizes) {
    std::vector<PhotoItem> photos;
    int32_t id = 100;
    for (const QSize& size : sizes) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::gray);
        photos.push_back({id++, image});
    }
    return photos;
}

TEST(PhotoPadModelTest, PhotosFillTheStripHeightButSmallOnesAreNotBlownUp) {
    PhotoPadModel pad;
    pad.ShowPerson(Photos({{400, 200}, {150, 300}, {40, 20}, {0, 0}}));
    pad.SetViewport(300, 116);  // photos 100 pixels high

    EXPECT_EQ(pad.DrawnSize(0), QSize(200, 100));
    EXPECT_EQ(pad.DrawnSize(1), QSize(50, 100));
    // 40x20 would be 200 wide at full height: it stops at its width plus 16, aspect kept.
    EXPECT_EQ(pad.DrawnSize(2), QSize(56, 28));
    // An undecodable picture keeps a square place.
    EXPECT_EQ(pad.DrawnSize(3), QSize(100, 100));

    EXPECT_EQ(pad.ItemRect(0), QRect(0, 0, 216, 116));
    EXPECT_EQ(pad.ItemRect(1), QRect(216, 0, 66, 116));
    EXPECT_EQ(pad.ItemRect(2), QRect(282, 0, 72, 116));
    EXPECT_EQ(pad.ImageRect(2), QRect(8, 44, 56, 28));
    EXPECT_EQ(pad.ContentWidth(), 470);
    EXPECT_EQ(pad.ScrollRange(), 170);

    pad.SetScroll(1000);
    EXPECT_EQ(pad.Scroll(), 170);
    pad.SetViewport(1000, 116);
    EXPECT_EQ(pad.Scroll(), 0) << "a wider strip has nothing to scroll";
}

TEST(PhotoPadModelTest, AClickMakesThePhotoCurrentAndBringsItFullyIntoView) {
    PhotoPadModel pad;
    pad.ShowPerson(Photos({{400, 200}, {150, 300}, {40, 20}}));
    pad.SetViewport(250, 116);

    EXPECT_FALSE(pad.Click({240, 200})) << "below the strip";
    EXPECT_FALSE(pad.Current());

    // Item 1 spans 216..281 and shows only up to 249: it scrolls left until its right edge shows.
    ASSERT_TRUE(pad.Click({230, 50}));
    EXPECT_EQ(pad.Current(), 1);
    EXPECT_EQ(pad.CurrentPhotoId(), 101);
    EXPECT_EQ(pad.Scroll(), 282 - 250);

    // Item 0 is cut at the left now: it scrolls back to its start.
    ASSERT_TRUE(pad.Click({5, 50}));
    EXPECT_EQ(pad.Current(), 0);
    EXPECT_EQ(pad.Scroll(), 0);
    EXPECT_EQ(pad.HitTest({249, 10}), 1);

    // A new photo goes to the end, current and in view.
    pad.Add({200, QImage(100, 100, QImage::Format_RGB32)});
    EXPECT_EQ(pad.Current(), 3);
    EXPECT_EQ(pad.Scroll(), pad.ScrollRange());
}

TEST(PhotoPadModelTest, AddingNeedsAPersonAndRoomAndDeletingACurrentPhoto) {
    PhotoPadModel pad;
    auto commands = pad.Commands(true);
    EXPECT_FALSE(commands.addFromFile);
    EXPECT_FALSE(commands.addFromClipboard);
    EXPECT_FALSE(commands.remove);

    pad.ShowPerson(Photos({{10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}, {10, 10}}));
    pad.SetViewport(2000, 116);
    commands = pad.Commands(true);
    EXPECT_TRUE(commands.addFromFile);
    EXPECT_TRUE(commands.addFromClipboard);
    EXPECT_FALSE(commands.remove);
    EXPECT_FALSE(pad.Commands(false).addFromClipboard) << "no bitmap on the clipboard";

    pad.Add({200, QImage(10, 10, QImage::Format_RGB32)});  // the tenth
    commands = pad.Commands(true);
    EXPECT_FALSE(commands.addFromFile);
    EXPECT_FALSE(commands.addFromClipboard);
    EXPECT_TRUE(commands.remove);

    // Deleting another photo keeps the current one; deleting the current leaves none.
    pad.Remove(100);
    EXPECT_EQ(pad.CurrentPhotoId(), 200);
    EXPECT_EQ(pad.Current(), 8);
    EXPECT_TRUE(pad.Commands(true).addFromFile);
    pad.Remove(200);
    EXPECT_FALSE(pad.Current());
    EXPECT_FALSE(pad.Commands(true).remove);
    EXPECT_EQ(pad.Items().size(), 8u);
}

}  // namespace
