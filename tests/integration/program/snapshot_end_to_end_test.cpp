// The whole program in this process with a loopback camera showing two people nobody enrolled:
// snapshots of three frames are clustered into the two people, one of them is saved through the
// person chooser as a new person, and the running recognition announces that person within one
// database check period. OSTROVID_SNAPSHOT_FRAME_SCREENSHOT=<file.png> writes the main window after
// clustering to that file.

#include "app/camera/camera_work.h"
#include "app/ui/frame_commands.h"
#include "app/ui/person_chooser.h"
#include "app/ui/right_panel.h"
#include "app/ui/snapshot_page.h"
#include "platform/fixedtext.h"
#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/integration/program/switchable_camera.h"
#include "tests/support/enrol_folders.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <map>

namespace {

using namespace endtoend;

constexpr int kDbCheckPeriodMs = 30000;
const QString kNewSurname = QStringLiteral("Снимков");

// The first and second people of the examples side by side, each in its `variant` picture.
cv::Mat TwoPeople(int variant) {
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(110, 120, 130));
    const std::vector<testsupport::JohnsPerson> people = testsupport::JohnsPeople();
    EXPECT_GE(people.size(), 2u);
    for (size_t i = 0; i < 2 && i < people.size(); ++i) {
        const cv::Mat face = testsupport::EnrolPicture(people[i].pictures[size_t(variant)]);
        face.copyTo(frame(cv::Rect(10 + int(i) * 320, 90, face.cols, face.rows)));
    }
    return frame;
}

// Answers the modal windows the save brings up, as the operator would: a new person named
// kNewSurname in the chooser, Yes to questions, OK to notices. Every box text is kept.
class Operator {
public:
    Operator() {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }

    QStringList boxes;

private:
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        // A box made later may take the address of one handled before: the guard forgets a
        // window once it is gone.
        if (modal == nullptr || modal == handled_.data()) return;
        handled_ = modal;
        // Each answer runs after this call: it may open a modal window of its own.
        QTimer::singleShot(0, modal, [this, modal] { Answer(modal); });
    }

    void Answer(QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.append(box->text());
            if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                yes->click();
            else
                box->done(QMessageBox::Ok);
        } else if (auto* chooser = dynamic_cast<ui::PersonChooserDialog*>(modal)) {
            chooser->findChild<QAction*>(QStringLiteral("chooserNewPerson"))->trigger();
        } else if (auto* surname = modal->findChild<QLineEdit*>(QStringLiteral("surname"))) {
            surname->setText(kNewSurname);
            modal->findChild<QPushButton*>(QStringLiteral("ok"))->click();
        }
    }

    QTimer timer_;
    QPointer<QWidget> handled_;
};

// No sound comes out; the snapshot sounds asked for are counted.
class SnapshotSounds final : public actions::AlertOutputs {
public:
    bool SoundAvailable() const override { return true; }
    bool SpeechAvailable() const override { return false; }
    void PlayAlertSound(const QString&) override {}
    void PlayAlertSound(actions::BuiltInSound) override {}
    void PlaySoundUnlessPlaying(actions::BuiltInSound sound) override {
        if (sound == actions::BuiltInSound::Snapshot) ++snapshots;
    }
    void SpeakAlertText(const QString&) override {}

    int snapshots = 0;
};

bool HasDatabaseRow(ui::MainFrame& frame, const QString& eventText) {
    for (const shell::JournalRow& row : frame.Events()->Model().Tab(shell::JournalTab::Database).Rows())
        if (row.eventText == eventText) return true;
    return false;
}

// Clicks the selection mark of snapshot `index`, scrolling its row into view first.
void Mark(ui::SnapshotPage& page, int index) {
    const browser::CellGrid& grid = page.List().Grid();
    ASSERT_TRUE(grid.LaidOut());
    page.findChild<QScrollBar*>()->setValue(index / grid.Columns());
    QWidget* item = page.Pad()->childAt(grid.CellRect(index).topLeft() + QPoint(10, 10));
    ASSERT_NE(item, nullptr) << index;
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(10, 10));
}

class SnapshotEndToEnd : public ProgramFixture {};

TEST_F(SnapshotEndToEnd, TwoPeopleAreClusteredAndOneSavedAsANewPersonIsRecognized) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    // Somebody who is not in view, so that the working set is not empty.
    ASSERT_NO_FATAL_FAILURE(EnrollPerson(dbFile));
    testsupport::SwitchableCamera camera;
    ASSERT_TRUE(camera.Listening());
    camera.Show(TwoPeople(0));
    ASSERT_NO_FATAL_FAILURE(WriteSettings(dbFile, camera.Url()));
    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(StartServiceAndAttach(objects));
    {
        SnapshotSounds alerts;
        app::ProgramWindow program(objects, *models, *hub, {&alerts});
        ASSERT_TRUE(program.Create());
        ui::MainFrame& frame = program.Frame();
        frame.resize(1000, 800);
        frame.show();
        ui::SnapshotPage& page = *frame.Snapshots();
        ASSERT_TRUE(QTest::qWaitFor([] { return camera::CameraThreadExists(); }, kRecognitionLimitMs));

        // Three frames of the two, each taken once both faces are in view.
        for (int variant = 0; variant < 3; ++variant) {
            camera.Show(TwoPeople(variant));
            QTest::qWait(1500);
            const int held = page.List().Count();
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    if (frame.Action(ui::kCmdSnapshot)->isChecked()) return false;  // still pending
                    if (page.List().Count() > held || page.HeldCount() > held) return page.List().Count() >= held + 2;
                    frame.OnCommand(ui::kCmdSnapshot);
                    return false;
                },
                20000))
                << variant;
            ASSERT_EQ(page.List().Count(), held + 2);
        }

        // Each snapshot with faces in view made its sound.
        EXPECT_EQ(alerts.snapshots, 3);
        // They arrived while the recognized persons were shown: the snapshot tab blinks until the
        // operator opens it.
        ui::RightPanel& right = *frame.RightPanel();
        EXPECT_TRUE(right.Blink().Blinking(ui::RightTab::Snapshots));
        right.ShowPage(ui::RightTab::Snapshots);
        EXPECT_FALSE(right.Blink().Blinking(ui::RightTab::Snapshots));
        ASSERT_TRUE(QTest::qWaitFor([&] { return page.List().Grid().LaidOut(); }, 2000));

        Operator operatorAtDesk;
        page.ShowClusters();
        ASSERT_EQ(operatorAtDesk.boxes,
                  QStringList{QStringLiteral("Предположительно образцы принадлежат 2 персонам!")});
        std::map<int, std::vector<int>> clusters;
        for (int i = 0; i < page.List().Count(); ++i) clusters[page.List().Items()[size_t(i)].cluster].push_back(i);
        ASSERT_EQ(clusters.size(), 2u);
        const QString screenshot = qEnvironmentVariable("OSTROVID_SNAPSHOT_FRAME_SCREENSHOT");
        if (!screenshot.isEmpty()) {
            EXPECT_TRUE(frame.grab().save(screenshot, "PNG")) << screenshot.toStdString();
        }
        EXPECT_EQ(clusters.count(0), 0u);
        const std::vector<int> saved = clusters.begin()->second;
        ASSERT_EQ(saved.size(), 3u);
        for (int index : saved) ASSERT_NO_FATAL_FAILURE(Mark(page, index));
        ASSERT_EQ(page.List().SelectedCount(), 3);

        static_cast<QAbstractButton*>(page.findChild<QWidget*>(QStringLiteral("40043")))->click();
        QElapsedTimer sinceSave;
        sinceSave.start();
        EXPECT_EQ(operatorAtDesk.boxes.last(),
                  QStringLiteral("Сохранить 3 выбранных снимка как образцы персоны\n") + kNewSurname + u'?');
        EXPECT_EQ(page.List().Count(), 3);
        EXPECT_EQ(page.List().SelectedCount(), 0);
        // The journal takes its entries through the event queue.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return HasDatabaseRow(frame, QStringLiteral("Сохранено 3 образца персоны")); }, 5000));

        // The database check picks the new person up and the recognition announces it.
        // One check period, then the load and three results half a second apart.
        ASSERT_TRUE(QTest::qWaitFor([&] { return HasRecognitionRow(frame, kNewSurname); }, kDbCheckPeriodMs + 10000));
        std::printf("saved to recognized: %lld ms\n", static_cast<long long>(sinceSave.elapsed()));
        ASSERT_EQ(frame.RecognizedList().Size(), 1u);
        const recognition::RecognizedListItem& entry = frame.RecognizedList().At(0);
        EXPECT_EQ(platform::FromFixed(entry.person.surname), kNewSurname);
        EXPECT_GT(entry.confidence, 50.0);
        const QString description = QString::asprintf("%.1f%% - ", entry.confidence) + kNewSurname;
        bool journalled = false;
        for (const shell::JournalRow& row : frame.Events()->Model().Tab(shell::JournalTab::Recognition).Rows())
            journalled = journalled || (row.eventText == QStringLiteral("Распознан") && row.description == description);
        EXPECT_TRUE(journalled) << description.toStdString();
        frame.close();
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
    EXPECT_EQ(QDir(env.dir.filePath("tmp")).entryList({QStringLiteral("ostv*")}, QDir::Files), QStringList{});
}

}  // namespace
