// The "Снимки" page on the offscreen platform: what the grid shows for the page's width, the
// clicks, keys and menu it forwards, and the delete and clusters commands with their boxes.
// OSTROVID_SNAPSHOT_SCREENSHOT=<file.png> writes the page after clustering to that file.

#include "app/ui/snapshot_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace {

using snapshots::SnapshotRecord;

const QString kItem = QStringLiteral("Vektra:OSTROVID_V2:CAMERA:SAMPLES:ITEM");

// Person 0 or 1: the aligned example faces of two people when installed, else a plain colour;
// descriptors of one person lie 0.1 apart, of the two people 2 apart.
SnapshotRecord Snapshot(int person, int index) {
    static const char* const kFolders[] = {"John_Savage", "John_Salley"};
    const QDir folder(QStringLiteral(DLIB_EXAMPLES_DIR "/johns/") + kFolders[person]);
    const QStringList files = folder.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    SnapshotRecord record;
    if (index < files.size()) record.thumbnail.load(folder.filePath(files[index]));
    if (record.thumbnail.isNull()) {
        record.thumbnail = QImage(150, 150, QImage::Format_RGB32);
        record.thumbnail.fill(person == 0 ? Qt::darkCyan : Qt::darkYellow);
    }
    record.descriptor.values[0] = float(person * 2) + 0.1f * float(index % 2);
    return record;
}

std::vector<SnapshotRecord> Snapshots(std::initializer_list<int> people) {
    std::vector<SnapshotRecord> records;
    int index = 0;
    for (int person : people) records.push_back(Snapshot(person, index++));
    return records;
}

// Answers the next message box with `button` and keeps its text.
void AnswerBox(QMessageBox::StandardButton button, QString* text) {
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        *text = box->text();
        box->button(button)->click();
    });
}

class SnapshotPageTest : public ::testing::Test {
protected:
    SnapshotPageTest() : page(nullptr, journal, hub) {
        page.onSnapshotsArrived = [this] { ++arrivals; };
        page.onInput = [this] { ++inputs; };
        page.resize(520, 420);
        page.show();
        page.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&page));
        // The page's keys work while the focus is on it.
        page.Pad()->setFocus();
    }

    QList<QWidget*> Items() const { return page.Pad()->findChildren<QWidget*>(kItem); }
    QAction* Command(int command) const { return page.findChild<QAction*>(QString::number(command)); }
    // The cell's item under a point of the pad.
    QWidget* ItemAt(int index) const { return page.Pad()->childAt(page.List().Grid().CellRect(index).center()); }

    shell::Journal journal;
    settings::SettingsHub hub;
    ui::SnapshotPage page;
    int arrivals = 0;
    int inputs = 0;
};

TEST_F(SnapshotPageTest, ANarrowPadShowsNoSnapshotUntilItIsWidened) {
    page.resize(150, 420);
    page.AddSnapshots(Snapshots({0, 1, 0}));
    EXPECT_EQ(arrivals, 1);
    ASSERT_EQ(Items().size(), 3);
    EXPECT_LT(page.Pad()->width(), 160);
    for (QWidget* item : Items()) EXPECT_FALSE(item->isVisible());
    page.resize(520, 420);
    QTest::qWait(0);
    const int columns = page.Pad()->width() / 160;
    ASSERT_GE(columns, 2);
    for (QWidget* item : Items()) {
        EXPECT_TRUE(item->isVisible());
        EXPECT_EQ(item->size(), QSize(160, 160));
    }
    EXPECT_EQ(ItemAt(1)->geometry().topLeft(), QPoint(160, 0));
    // An empty arrival changes nothing and is not reported.
    page.AddSnapshots({});
    EXPECT_EQ(arrivals, 1);
}

TEST_F(SnapshotPageTest, ClicksKeysAndCommandsReachTheGridAndCountAsInput) {
    page.AddSnapshots(Snapshots({0, 0, 1, 1, 0, 1, 0, 1}));
    EXPECT_FALSE(Command(40043)->isEnabled());
    const int before = inputs;
    QTest::mouseClick(ItemAt(1), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_GT(inputs, before);
    EXPECT_EQ(page.List().Focus(), 1);
    EXPECT_TRUE(page.List().Items()[1].selected);
    // The menu and the toolbar follow the selection.
    EXPECT_TRUE(Command(40043)->isEnabled());
    EXPECT_TRUE(page.findChild<QWidget*>(QStringLiteral("40044"))->isEnabled());
    QTest::keyClick(page.Pad(), Qt::Key_Right);
    QTest::keyClick(page.Pad(), Qt::Key_Space);
    EXPECT_TRUE(page.List().Items()[2].selected);
    QTest::keyClick(page.Pad(), Qt::Key_End);
    // The last row was scrolled into view.
    EXPECT_TRUE(page.Pad()->rect().contains(ItemAt(7)->geometry()));
    EXPECT_GT(page.findChild<QScrollBar*>()->value(), 0);
    QTest::keyClick(page.Pad(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(page.List().SelectedCount(), 8);
    QTest::keyClick(page.Pad(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(page.List().SelectedCount(), 0);
    EXPECT_FALSE(Command(40044)->isEnabled());
}

// Faces handed over count at once: a request with 49 held and 3 faces in view ends with 52, and
// none is accepted meanwhile.
TEST(SnapshotPageLimit, FacesOnTheirWayCountTowardsTheLimit) {
    class Grey final : public recognition::FaceDescriber {
    public:
        std::optional<recognition::DescribedFace> Describe(const cv::Mat&, const recognition::FrameFace&) override {
            return recognition::DescribedFace{{}, cv::Mat(150, 150, CV_8UC3, cv::Scalar::all(128))};
        }
    };
    shell::Journal journal;
    snapshots::SnapshotDescriber describer(std::make_unique<Grey>());
    settings::SettingsHub hub;
    ui::SnapshotPage page(&describer, journal, hub);
    std::vector<SnapshotRecord> held(49, Snapshot(0, 0));
    page.AddSnapshots(std::move(held));
    EXPECT_TRUE(page.AcceptsSnapshot());
    const std::vector<recognition::FrameFace> faces(3, recognition::FrameFace{10, 10, 40, 40});
    describer.Describe(cv::Mat(120, 160, CV_8UC3, cv::Scalar::all(0)), faces);
    EXPECT_EQ(page.HeldCount(), 52);
    EXPECT_FALSE(page.AcceptsSnapshot());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.List().Count() == 52; }, 5000));
    EXPECT_EQ(page.HeldCount(), 52);
}

TEST_F(SnapshotPageTest, DeleteAsksWithNoAsDefaultAndRemovesTheSelected) {
    page.AddSnapshots(Snapshots({0, 1, 0}));
    page.SelectAll();
    QString text;
    AnswerBox(QMessageBox::No, &text);
    QTest::keyClick(page.Pad(), Qt::Key_Delete);
    EXPECT_EQ(text, QStringLiteral("Удалить 3 выбранных снимка?"));
    EXPECT_EQ(Items().size(), 3);
    QTest::mouseClick(ItemAt(0), Qt::LeftButton, {}, QPoint(10, 10));  // unmarks the first
    AnswerBox(QMessageBox::Yes, &text);
    page.findChild<QWidget*>(QStringLiteral("40044"))->setFocus();
    static_cast<QAbstractButton*>(page.findChild<QWidget*>(QStringLiteral("40044")))->click();
    EXPECT_EQ(text, QStringLiteral("Удалить 2 выбранных снимка?"));
    ASSERT_EQ(Items().size(), 1);
    EXPECT_EQ(page.List().Items()[0].descriptor.values[0], 0.0f);
}

TEST_F(SnapshotPageTest, ClustersNumberTheCellsWhileTheTimedNoticeIsShown) {
    page.AddSnapshots(Snapshots({0, 1, 0, 1, 1, 0}));
    QString text;
    QImage shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        shown = page.grab().toImage();
        box->done(QMessageBox::Ok);
    });
    static_cast<QAbstractButton*>(page.findChild<QWidget*>(QStringLiteral("40045")))->click();
    EXPECT_EQ(text, QStringLiteral("Предположительно образцы принадлежат 2 персонам!"));
    const auto& items = page.List().Items();
    for (size_t i = 0; i < items.size(); ++i) {
        const int person = items[i].descriptor.values[0] < 1 ? 0 : 1;
        EXPECT_EQ(items[i].cluster, items[person == 0 ? 0 : 1].cluster) << i;
    }
    EXPECT_NE(items[0].cluster, items[1].cluster);
    EXPECT_FALSE(shown.isNull());
    const QString screenshot = qEnvironmentVariable("OSTROVID_SNAPSHOT_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        EXPECT_TRUE(page.grab().save(screenshot, "PNG")) << screenshot.toStdString();
    }
}

}  // namespace
