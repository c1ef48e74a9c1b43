// The right panel's rules without a display: entry texts and layout, the selection of the
// recognized list, tab blinking, and the person information dialog's photos and copy-back.

#include "app/ui/person_info.h"
#include "app/ui/recognized_entries.h"
#include "app/ui/tab_blink.h"
#include "platform/fixedtext.h"
#include "platform/oledate.h"
#include "tests/support/ole_dates.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using recognition::RecognizedListItem;
using recognition::RecognizedPersonsList;
using ui::RightTab;

std::unique_ptr<RecognizedListItem> Entry(uint32_t personId, const char16_t* surname = u"Иванов") {
    auto item = std::make_unique<RecognizedListItem>();
    item->personId = personId;
    platform::CopyToFixed(item->person.surname, surname);
    return item;
}

using testsupport::OleDate;

TEST(RecognizedEntryTexts, LinesCarryWhatTheEntryHas) {
    auto item = Entry(42);
    item->time = OleDate(2026, 12, 10, 7, 5, 9);
    item->confidence = 83.26;
    platform::CopyToFixed(item->person.forename, u"Пётр");
    item->person.gender = 1;
    ui::RecognizedEntryTexts texts = ui::EntryTexts(*item);
    EXPECT_EQ(texts.headline, QStringLiteral("07:05:09\t83.3%\tИванов Пётр"));
    EXPECT_EQ(texts.identity, QStringLiteral("ID: 42\tПол: Мужской"));
    EXPECT_TRUE(texts.address.isEmpty());

    // Second name and alias, a woman with a date of birth and an external key.
    platform::CopyToFixed(item->person.secondName, u"Ильич");
    platform::CopyToFixed(item->person.alias, u"Шеф");
    item->person.gender = 0;
    item->person.dateOfBirth = OleDate(1980, 3, 7);
    platform::CopyToFixed(item->person.externalKey, u"K-17");
    texts = ui::EntryTexts(*item);
    EXPECT_EQ(texts.headline, QStringLiteral("07:05:09\t83.3%\tИванов Пётр Ильич (Шеф)"));
    EXPECT_EQ(texts.identity,
              QStringLiteral("ID: 42\tПол: Женский\t\tДата рождения: 07.03.1980\t\tВнешний ключ: K-17"));

    // Only a surname and an alias: no empty name parts between them.
    auto bare = Entry(1, u"Ким");
    platform::CopyToFixed(bare->person.alias, u"К");
    EXPECT_EQ(ui::EntryTexts(*bare).headline.section(QLatin1Char('\t'), 2), QStringLiteral("Ким (К)"));

    // The details show only once the dialog brought them, and only the non-empty ones.
    platform::CopyToFixed(item->address, u"Тверская, 1");
    platform::CopyToFixed(item->description, u"Постоянный посетитель");
    EXPECT_TRUE(ui::EntryTexts(*item).address.isEmpty());
    item->detailsPresent = true;
    texts = ui::EntryTexts(*item);
    EXPECT_EQ(texts.address, QStringLiteral("Адрес:\tТверская, 1"));
    EXPECT_TRUE(texts.contacts.isEmpty());
    EXPECT_EQ(texts.description, QStringLiteral("Постоянный посетитель"));
    platform::CopyToFixed(item->contacts, u"+7 900");
    EXPECT_EQ(ui::EntryTexts(*item).contacts, QStringLiteral("Контакты:  +7 900"));
}

TEST(RecognizedEntryLayout, PartsSitWhereTheyAreDrawn) {
    EXPECT_EQ(ui::ListColour(0), QColor(34, 177, 76));
    EXPECT_EQ(ui::ListColour(1), QColor(255, 0, 0));
    EXPECT_EQ(ui::ListColour(2), QColor(172, 172, 172));
    EXPECT_EQ(ui::ListColour(9), QColor(172, 172, 172));

    // The third entry of a 400-pixel wide list.
    const ui::EntryLayout layout = ui::LayOutEntry(QRect(0, 320, 400, ui::kEntryHeight));
    EXPECT_EQ(layout.strip, QRect(1, 321, 159, 158));
    EXPECT_EQ(layout.thumbnail, QPoint(5, 325));
    EXPECT_EQ(layout.text, QRect(172, 329, 219, 142));
    EXPECT_EQ(layout.selection[0], QRect(161, 322, 237, 156));
    EXPECT_EQ(layout.selection[2], QRect(163, 324, 233, 152));
    // The selection frames stay clear of the strip.
    EXPECT_GT(layout.selection[0].left(), layout.strip.right());

    const ui::EntryLines lines = ui::LayOutEntryLines(9, 22, 15);
    EXPECT_EQ(lines.ruleY, 35);
    EXPECT_EQ(lines.identityTop, 40);
    EXPECT_EQ(lines.detailsTop, 59);

    EXPECT_EQ(ui::NextTabStop(0, 7), 56);
    EXPECT_EQ(ui::NextTabStop(55, 7), 56);
    EXPECT_EQ(ui::NextTabStop(56, 7), 112);
}

TEST(RecognizedPageSelection, FollowsItsEntryAndEndsWithIt) {
    RecognizedPersonsList list;
    list.InsertAtTop(Entry(1));
    list.InsertAtTop(Entry(2));
    ui::RecognizedPageModel page(list);
    EXPECT_FALSE(page.CanShowInfo());
    EXPECT_FALSE(page.CanRemove());
    page.Select(1);
    ASSERT_NE(page.Selected(), nullptr);
    EXPECT_EQ(page.Selected()->personId, 1u);
    EXPECT_TRUE(page.CanShowInfo() && page.CanRemove());

    // A new entry at the top: the same person stays selected, one row lower.
    list.InsertAtTop(Entry(3));
    EXPECT_EQ(page.SelectedRow(), 2);
    EXPECT_EQ(page.Selected()->personId, 1u);

    // Removal frees the entry and clears the selection.
    EXPECT_TRUE(page.RemoveSelected());
    EXPECT_EQ(list.Size(), 2u);
    EXPECT_EQ(page.Selected(), nullptr);
    EXPECT_FALSE(page.CanRemove());
    EXPECT_FALSE(page.RemoveSelected());

    page.Select(5);  // beyond the list
    EXPECT_EQ(page.Selected(), nullptr);

    // The selected entry falls off the end of a full list: nothing is selected any more.
    page.Select(1);
    for (uint32_t person = 100; person < 100 + RecognizedPersonsList::kCapacity; ++person) {
        list.InsertAtTop(Entry(person));
    }
    EXPECT_EQ(page.Selected(), nullptr);
    EXPECT_EQ(page.SelectedRow(), -1);
}

TEST(RecognizedPageSelection, AnEntryIsNotTakenForAnEarlierOneAtTheSameAddress) {
    RecognizedPersonsList list;
    const RecognizedListItem* first = list.InsertAtTop(Entry(1));
    const recognition::RecognizedEntryRef ref = RecognizedPersonsList::RefOf(*first);
    EXPECT_EQ(list.Find(ref), first);
    // What a reference to an entry that was removed looks like once a new entry took its place.
    const recognition::RecognizedEntryRef stale{first, ref.serial + 1};
    EXPECT_EQ(list.Find(stale), nullptr);
    EXPECT_EQ(list.RowOf(stale), -1);
    EXPECT_FALSE(list.Remove(stale));
    EXPECT_TRUE(list.Remove(ref));
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_FALSE(list.Remove(ref));
}

TEST(TabBlinking, ATabBlinksForWhatArrivesUnseenUntilItsPageIsLookedAt) {
    ui::TabBlink blink;
    // Arriving on the page shown: no blinking.
    blink.Arrived(RightTab::Recognized, true);
    EXPECT_FALSE(blink.AnyBlinking());
    EXPECT_TRUE(blink.ImageShown(RightTab::Recognized));

    // The snapshots page is shown while a recognized entry arrives.
    blink.Show(RightTab::Snapshots);
    blink.Arrived(RightTab::Recognized, true);
    EXPECT_TRUE(blink.Blinking(RightTab::Recognized));
    EXPECT_FALSE(blink.ImageShown(RightTab::Recognized));
    blink.Tick();
    EXPECT_TRUE(blink.ImageShown(RightTab::Recognized));
    blink.Tick();
    EXPECT_FALSE(blink.ImageShown(RightTab::Recognized));
    EXPECT_TRUE(blink.ImageShown(RightTab::Snapshots));
    // Looking at the other page does not help.
    blink.Looked(RightTab::Snapshots);
    EXPECT_TRUE(blink.Blinking(RightTab::Recognized));
    // Selecting its page stops it, with its image on.
    blink.Show(RightTab::Recognized);
    EXPECT_FALSE(blink.AnyBlinking());
    EXPECT_TRUE(blink.ImageShown(RightTab::Recognized));

    // Snapshots arrive unseen; a second arrival while blinking changes nothing; clicking
    // into the page stops it.
    blink.Arrived(RightTab::Snapshots, true);
    blink.Tick();
    blink.Arrived(RightTab::Snapshots, true);
    EXPECT_TRUE(blink.ImageShown(RightTab::Snapshots));
    blink.Looked(RightTab::Snapshots);
    EXPECT_FALSE(blink.Blinking(RightTab::Snapshots));

    // "Stop" (false) ends the blinking with the image on.
    blink.Arrived(RightTab::Snapshots, true);
    EXPECT_FALSE(blink.ImageShown(RightTab::Snapshots));
    blink.Arrived(RightTab::Snapshots, false);
    EXPECT_FALSE(blink.AnyBlinking());
    EXPECT_TRUE(blink.ImageShown(RightTab::Snapshots));
}

TEST(PersonInfoPhotos, WithoutASecondPhotoNoArrowIsOffered) {
    ui::PhotoBrowsing none(0);
    EXPECT_EQ(none.Current(), -1);
    EXPECT_FALSE(none.PreviousVisible() || none.NextVisible());
    EXPECT_FALSE(none.Next());
    ui::PhotoBrowsing one(1);
    EXPECT_EQ(one.Current(), 0);
    EXPECT_FALSE(one.PreviousVisible() || one.NextVisible());
    EXPECT_FALSE(one.Previous());
}

TEST(PersonInfoPhotos, ALargePhotoShrinksToFitKeepingItsProportions) {
    const QSize area(240, 300);
    const double aspect = 0.8;
    // Smaller: its own size, centred.
    EXPECT_EQ(ui::PlacePhoto(QSize(100, 50), area, aspect), QRect(70, 125, 100, 50));
    // Wider than the area's proportions: fitted to the width, the height truncated.
    EXPECT_EQ(ui::PlacePhoto(QSize(700, 300), area, aspect), QRect(0, 99, 240, 102));
    // Higher: fitted to the height, the width truncated (300 × 250 / 700 = 107.1).
    EXPECT_EQ(ui::PlacePhoto(QSize(250, 700), area, aspect), QRect(66, 0, 107, 300));
    // Too high only: the height decides even though the width fits.
    EXPECT_EQ(ui::PlacePhoto(QSize(200, 400), area, aspect), QRect(45, 0, 150, 300));
    // Exactly the area's size is not scaled.
    EXPECT_EQ(ui::PlacePhoto(area, area, aspect), QRect(QPoint(0, 0), area));
    EXPECT_TRUE(ui::PlacePhoto(QSize(), area, aspect).isEmpty());
}

TEST(PersonInfoCopyBack, OnlyAnEntryStillListedTakesTheDetailsAndOnlyChangesRedraw) {
    RecognizedPersonsList list;
    RecognizedListItem* item = list.InsertAtTop(Entry(5));
    ui::PersonInfoRecord record = ui::PersonInfoFromEntry(*item);
    EXPECT_EQ(record.personId, 5u);
    EXPECT_EQ(platform::FromFixed(record.person.surname), QStringLiteral("Иванов"));

    // Nothing read: the details are present, nothing to redraw.
    EXPECT_EQ(ui::CopyDetailsBack(list, record), ui::CopyBackResult::Unchanged);
    EXPECT_TRUE(item->detailsPresent);

    record.address = QStringLiteral("Тверская, 1");
    record.description = QStringLiteral("Описание");
    EXPECT_EQ(ui::CopyDetailsBack(list, record), ui::CopyBackResult::Copied);
    EXPECT_EQ(platform::FromFixed(item->address), record.address);
    EXPECT_EQ(platform::FromFixed(item->description), record.description);
    EXPECT_EQ(ui::CopyDetailsBack(list, record), ui::CopyBackResult::Unchanged);
    // A text emptied in the database is emptied in the entry too.
    record.address.clear();
    EXPECT_EQ(ui::CopyDetailsBack(list, record), ui::CopyBackResult::Copied);
    EXPECT_TRUE(platform::FromFixed(item->address).isEmpty());

    // The entry fell off the list while the dialog was open; the new entries stay untouched.
    record.contacts = QStringLiteral("+7");
    for (uint32_t person = 100; person < 100 + RecognizedPersonsList::kCapacity; ++person) {
        list.InsertAtTop(Entry(person));
    }
    EXPECT_EQ(ui::CopyDetailsBack(list, record), ui::CopyBackResult::EntryGone);
    for (size_t row = 0; row < list.Size(); ++row) EXPECT_FALSE(list.At(row).detailsPresent);
}

}  // namespace
