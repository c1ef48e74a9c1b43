// The right panel on the offscreen platform: the tabs blink for news on a page not shown and
// stop at any input into that page; the recognized page draws its entries and offers its
// commands only with a selection.

#include "app/ui/recognized_page.h"
#include "app/ui/right_panel.h"
#include "platform/fixedtext.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListView>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

using ui::RightTab;

std::unique_ptr<recognition::RecognizedListItem> Entry(uint32_t personId, uint32_t listNumber) {
    auto item = std::make_unique<recognition::RecognizedListItem>();
    item->personId = personId;
    item->person.listNumber = listNumber;
    item->confidence = 75;
    platform::CopyToFixed(item->person.surname, u"Петров");
    item->thumbnail = cv::Mat(150, 150, CV_8UC3, cv::Scalar(200, 40, 40));
    return item;
}

class RightPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        snapshots_ = new QWidget;
        panel_ = std::make_unique<ui::RightPanel>(list_, remembered_, hub_, snapshots_);
        panel_->resize(500, 600);
        panel_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel_.get()));
    }

    bool TabImageShown(int tab) const {
        // The blank image is fully transparent; the tab images are not.
        const QImage image = panel_->Tabs()->tabIcon(tab).pixmap(16, 16).toImage();
        return image.pixelColor(8, 8).alpha() != 0;
    }

    recognition::RecognizedPersonsList list_;
    recognition::RememberedPersons remembered_;
    settings::SettingsHub hub_;
    QWidget* snapshots_ = nullptr;
    std::unique_ptr<ui::RightPanel> panel_;
};

TEST_F(RightPanelTest, TabsBlinkUntilTheirPageIsSelectedClickedOrFocused) {
    QTabWidget* tabs = panel_->Tabs();
    EXPECT_EQ(panel_->objectName(), QStringLiteral("Vektra:OSTROVID_V2:RIGHT:PANEL"));
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Распознаны"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Снимки"));
    EXPECT_EQ(tabs->widget(1), snapshots_);

    // Snapshots arrive while the recognized page is shown: their tab blinks every 500 ms.
    panel_->SnapshotsArrived(true);
    EXPECT_TRUE(panel_->Blink().Blinking(RightTab::Snapshots));
    EXPECT_FALSE(TabImageShown(1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TabImageShown(1); }, 1500));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !TabImageShown(1); }, 1500));
    EXPECT_TRUE(TabImageShown(0));

    // A widget the snapshot page makes later still counts as the page: a click into it stops
    // the blinking even though its page is not selected by the tab.
    auto* edit = new QLineEdit(snapshots_);
    tabs->setCurrentIndex(0);
    panel_->SnapshotsArrived(true);
    ASSERT_TRUE(panel_->Blink().Blinking(RightTab::Snapshots));
    tabs->setCurrentIndex(1);
    EXPECT_FALSE(panel_->Blink().Blinking(RightTab::Snapshots)) << "selecting the tab";
    panel_->ShowPage(RightTab::Recognized);
    panel_->SnapshotsArrived(true);
    edit->show();
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_FALSE(panel_->Blink().Blinking(RightTab::Snapshots)) << "a click into the page";
    EXPECT_TRUE(TabImageShown(1));
    panel_->SnapshotsArrived(true);
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_FALSE(panel_->Blink().Blinking(RightTab::Snapshots)) << "a key";

    // A recognized entry while the snapshot page is shown blinks until its tab is selected.
    panel_->ShowPage(RightTab::Snapshots);
    panel_->RecognizedArrived(true);
    EXPECT_TRUE(panel_->Blink().Blinking(RightTab::Recognized));
    panel_->ShowPage(RightTab::Recognized);
    EXPECT_FALSE(panel_->Blink().AnyBlinking());
    EXPECT_TRUE(TabImageShown(0));
    // ... and none while its own page is shown.
    panel_->RecognizedArrived(true);
    EXPECT_FALSE(panel_->Blink().AnyBlinking());
}

TEST_F(RightPanelTest, ThePageDrawsEntriesAndOffersCommandsOnlyWithASelection) {
    ui::RecognizedPage& page = *panel_->Recognized();
    QListView* view = page.View();
    EXPECT_EQ(view->objectName(), QStringLiteral("1096"));
    EXPECT_EQ(page.InfoButton()->text(), QStringLiteral("Инфо..."));
    EXPECT_EQ(page.RemoveButton()->text(), QStringLiteral("Удалить"));
    EXPECT_FALSE(page.InfoButton()->isEnabled());
    EXPECT_FALSE(page.RemoveButton()->isEnabled());

    list_.InsertAtTop(Entry(1, 0));
    list_.InsertAtTop(Entry(2, 1));
    page.Refresh();
    ASSERT_EQ(view->model()->rowCount(), 2);
    EXPECT_EQ(view->visualRect(view->model()->index(1, 0)).height(), ui::kEntryHeight);

    // The newest (red list) on top, the green one under it; each strip and thumbnail drawn.
    const QImage shot = view->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 160 - 3), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(2, 160 + 158), QColor(34, 177, 76));
    EXPECT_EQ(shot.pixelColor(80, 80), QColor(40, 40, 200));

    view->setCurrentIndex(view->model()->index(1, 0));
    EXPECT_TRUE(page.InfoButton()->isEnabled());
    EXPECT_TRUE(page.RemoveButton()->isEnabled());
    ASSERT_NE(page.Model().Selected(), nullptr);
    EXPECT_EQ(page.Model().Selected()->personId, 1u);

    // A new entry on top keeps the selection on the same person.
    list_.InsertAtTop(Entry(3, 2));
    page.Refresh();
    EXPECT_EQ(view->selectionModel()->selectedIndexes().value(0).row(), 2);
    EXPECT_EQ(page.Model().Selected()->personId, 1u);

    page.RemoveButton()->click();
    EXPECT_EQ(list_.Size(), 2u);
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_TRUE(view->selectionModel()->selectedIndexes().isEmpty());
    EXPECT_FALSE(page.RemoveButton()->isEnabled());
    EXPECT_FALSE(page.InfoButton()->isEnabled());
}

}  // namespace
