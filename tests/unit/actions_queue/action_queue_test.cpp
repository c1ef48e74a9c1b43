// The queue: its limit and what a dropped item leaves behind, CSV lines going ahead of actions
// that wait for a worker, shutdown with items still queued, the workers that report scripts and
// mail as unavailable, and the pictures the queue thread writes for unrecognized persons.

#include "app/actions/action_queue.h"
#include "app/actions/action_images.h"
#include "app/actions/temporary_image.h"
#include "platform/fixedtext.h"
#include "queue_test_support.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

namespace {

using actions::ActionItem;
using actions::ActionType;
using queuetest::WaitUntil;
using namespace std::chrono_literals;

const QString kQueueFull =
    QStringLiteral("Warning! Превышена максимальная длина очереди действий. Действие отброшено.");

cv::Mat Picture(int value = 90) { return cv::Mat(40, 60, CV_8UC3, cv::Scalar(value, value, value)); }

// A recognized-person script item with its saved picture.
std::unique_ptr<ActionItem> ScriptItem() {
    auto item = actions::NewActionItem(ActionType::RecognizedScript, actions::ScriptRequest{});
    auto file = actions::SaveTemporaryImage(Picture(), actions::ImageFileFormat::Jpeg);
    EXPECT_TRUE(file.has_value());
    if (file) item->files.push_back(std::move(*file));
    return item;
}

std::unique_ptr<ActionItem> MailItem() {
    auto item = actions::NewActionItem(ActionType::RecognizedMail, actions::MailRequest{});
    auto file = actions::SaveTemporaryImage(Picture(), actions::ImageFileFormat::Jpeg);
    if (file) item->files.push_back(std::move(*file));
    return item;
}

std::unique_ptr<ActionItem> CsvItem() {
    actions::CsvRecord record;
    record.personId = 7;
    platform::CopyToFixed(record.person.surname, u"Петров");
    return actions::NewActionItem(ActionType::CsvLine, record);
}

class Queue : public queuetest::PrivateFolders {
protected:
    void TearDown() override {
        term.Set();
        workers.FinishAll();
        queue.WaitForThread();
        queue.ClearActionQueue();
        queuetest::PrivateFolders::TearDown();
    }

    queuetest::ActionsTab tab;
    shell::Journal journal{&tab};
    queuetest::HeldWorkers workers;
    actions::ActionQueue queue{journal, workers};
    platform::Event term{true, false};
};

TEST_F(Queue, The257thItemIsDroppedWithItsPictureAndClearingLeavesNoFiles) {
    for (size_t i = 0; i < actions::ActionQueue::kMaxItems; ++i) ASSERT_TRUE(queue.EnqueueActionItem(ScriptItem()));
    ASSERT_EQ(TempFiles().size(), actions::ActionQueue::kMaxItems);
    auto dropped = ScriptItem();
    const QString droppedFile = dropped->files.front().Path();
    EXPECT_FALSE(queue.EnqueueActionItem(std::move(dropped)));
    EXPECT_FALSE(QFileInfo::exists(droppedFile));
    EXPECT_EQ(queue.QueuedCount(), actions::ActionQueue::kMaxItems);
    EXPECT_EQ(LogCount(kQueueFull), 1);

    queue.ClearActionQueue();
    EXPECT_EQ(queue.QueuedCount(), 0u);
    EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(u' ').toStdString();
    EXPECT_TRUE(queue.EnqueueActionItem(CsvItem()));  // room again
}

TEST_F(Queue, NumbersCountUpAcrossTheProcess) {
    const auto first = CsvItem();
    const auto second = MailItem();
    EXPECT_GE(first->number, 1u);
    EXPECT_EQ(second->number, first->number + 1);
}

TEST_F(Queue, AMailWaitingForAWorkerLetsALaterCsvLineGoFirst) {
    ASSERT_TRUE(queue.StartThread(term));
    for (unsigned i = 0; i < actions::ActionQueue::kWorkerSlots; ++i)
        ASSERT_TRUE(queue.EnqueueActionItem(ScriptItem()));
    ASSERT_TRUE(WaitUntil([&] { return workers.Count() == actions::ActionQueue::kWorkerSlots; }));
    ASSERT_TRUE(WaitUntil([&] { return queue.QueuedCount() == 0; }));

    auto mail = MailItem();
    const uint32_t mailNumber = mail->number;
    auto csv = CsvItem();
    const uint32_t csvNumber = csv->number;
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(mail)));
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(csv)));
    ASSERT_TRUE(WaitUntil([&] { return CsvLines().size() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return tab.Entries().size() == 1; }));
    EXPECT_EQ(tab.Entries()[0].actionNumber, int32_t(csvNumber));
    EXPECT_EQ(tab.Entries()[0].actionText, QStringLiteral("Запись в CSV файл"));
    // A few more passes: the mail still has no worker.
    std::this_thread::sleep_for(3 * actions::ActionQueue::kPollPeriod);
    EXPECT_EQ(queue.QueuedCount(), 1u);
    EXPECT_EQ(workers.Count(), actions::ActionQueue::kWorkerSlots);

    workers.FinishOne();
    ASSERT_TRUE(WaitUntil([&] { return queue.QueuedCount() == 0; }));
    workers.Inspect([&](const std::vector<queuetest::HeldWorkers::Held>& held) {
        ASSERT_EQ(held.size(), actions::ActionQueue::kWorkerSlots);
        EXPECT_EQ(held.back().item->number, mailNumber);
        EXPECT_EQ(held.back().context.termEvent, &term);
    });
}

TEST_F(Queue, ShutdownWithItemsQueuedWaitsForWorkersAndLeavesNoFiles) {
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(queue.EnqueueActionItem(i % 2 ? ScriptItem() : MailItem()));
    ASSERT_TRUE(queue.StartThread(term));
    ASSERT_TRUE(WaitUntil([&] { return workers.Count() == actions::ActionQueue::kWorkerSlots; }));
    term.Set();
    ASSERT_TRUE(
        WaitUntil([&] { return LogCount(QStringLiteral("ActionQueueThreadFunc: hTermEvent signaled.")) == 1; }));
    // The thread waits for the running workers before it ends.
    std::this_thread::sleep_for(2 * actions::ActionQueue::kPollPeriod);
    EXPECT_EQ(LogCount(QStringLiteral("ActionQueueThreadFunc completed.")), 0);
    workers.FinishAll();
    queue.WaitForThread();
    EXPECT_EQ(queue.QueuedCount(), 100u - actions::ActionQueue::kWorkerSlots);
    queue.ClearActionQueue();
    EXPECT_TRUE(TempFiles().isEmpty()) << TempFiles().join(u' ').toStdString();

    const QStringList log = Log();
    const QStringList expected = {
        QStringLiteral("ActionQueueThreadFunc started."),
        QStringLiteral("ActionQueueThreadFunc: hTermEvent signaled."),
        QStringLiteral("ActionQueueThreadFunc: Ожидание завершения нитей выполнения действий."),
        QStringLiteral("ActionQueueThreadFunc completed."),
    };
    EXPECT_EQ(log, expected);
}

class RealWorkers : public queuetest::PrivateFolders {
protected:
    queuetest::ActionsTab tab;
    shell::Journal journal{&tab};
    actions::UnavailableActionWorkers workers{journal};
    actions::ActionQueue queue{journal, workers};
    platform::Event term{true, false};
};

TEST_F(RealWorkers, ScriptsAndMailAreReportedUnavailableAndTheirPicturesDeleted) {
    auto script = ScriptItem();
    const uint32_t scriptNumber = script->number;
    auto mail = actions::NewActionItem(ActionType::UnrecognizedMail, actions::MailRequest{});
    const uint32_t mailNumber = mail->number;
    ASSERT_TRUE(queue.StartThread(term));
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(script)));
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(mail)));
    ASSERT_TRUE(WaitUntil([&] { return tab.Entries().size() == 2; }));
    term.Set();
    queue.WaitForThread();
    queue.ClearActionQueue();
    EXPECT_TRUE(TempFiles().isEmpty());

    std::vector<shell::JournalEntry> entries = tab.Entries();
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.actionNumber < b.actionNumber; });
    EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::ActionIcon::Error));
    EXPECT_EQ(entries[0].actionNumber, int32_t(scriptNumber));
    EXPECT_EQ(entries[0].eventText, QStringLiteral("Персона распознана"));
    EXPECT_EQ(entries[0].actionText, QStringLiteral("Выполнение скрипта"));
    EXPECT_EQ(entries[0].description, QStringLiteral("Выполнение скриптов недоступно"));
    EXPECT_EQ(entries[1].icon, shell::EntryIcon(shell::ActionIcon::Error));
    EXPECT_EQ(entries[1].actionNumber, int32_t(mailNumber));
    EXPECT_EQ(entries[1].eventText, QStringLiteral("Персона не распознана"));
    EXPECT_EQ(entries[1].actionText, QStringLiteral("Ошибка отправки электронной почты"));

    EXPECT_EQ(LogCount(QStringLiteral("VeloxThreadFunc %1 started.").arg(scriptNumber)), 1);
    EXPECT_EQ(LogCount(QStringLiteral("VeloxThreadFunc %1 completed.").arg(scriptNumber)), 1);
    EXPECT_EQ(LogCount(QStringLiteral("SendMailThreadFunc %1 completed.").arg(mailNumber)), 1);
    // Every worker had ended, files gone, before the queue thread did.
    const QStringList log = Log();
    EXPECT_LT(log.indexOf(QStringLiteral("SendMailThreadFunc %1 completed.").arg(mailNumber)),
              log.indexOf(QStringLiteral("ActionQueueThreadFunc completed.")));
}

TEST(TemporaryImages, GetAPrivateFreshNameInTheirFormatAndNeverOutliveTheirOwner) {
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    const QRegularExpression name(
        QStringLiteral("^ostv\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}\\.(jpg|png|bmp)$"));
    QString path;
    {
        auto png = actions::SaveTemporaryImage(Picture(33), actions::ImageFileFormatFrom(1));
        ASSERT_TRUE(png.has_value());
        path = png->Path();
        EXPECT_EQ(QFileInfo(path).path(), dir.path());
        EXPECT_TRUE(name.match(QFileInfo(path).fileName()).hasMatch()) << path.toStdString();
        EXPECT_TRUE(path.endsWith(QStringLiteral(".png")));
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        const cv::Mat back = cv::imread(QFile::encodeName(path).toStdString(), cv::IMREAD_UNCHANGED);
        ASSERT_EQ(back.size(), Picture().size());
        EXPECT_EQ(cv::norm(back, Picture(33), cv::NORM_INF), 0.0);

        auto moved = std::move(*png);
        EXPECT_TRUE(QFileInfo::exists(path));
        EXPECT_TRUE(actions::SaveTemporaryImage(Picture(), actions::ImageFileFormatFrom(2))->Path().endsWith(u".bmp"));
        EXPECT_TRUE(actions::SaveTemporaryImage(Picture(), actions::ImageFileFormatFrom(7))->Path().endsWith(u".jpg"));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    // Nothing to encode, or a folder that refuses files: no picture and nothing left behind.
    EXPECT_FALSE(actions::SaveTemporaryImage(cv::Mat(), actions::ImageFileFormat::Jpeg).has_value());
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    if (::geteuid() != 0) {
        EXPECT_FALSE(actions::SaveTemporaryImage(Picture(), actions::ImageFileFormat::Jpeg).has_value());
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    qputenv("TMPDIR", saved);
}

TEST(FaceFrame, GrowsByAThirdAboutTheCentreWithIntegerHalves) {
    using recognition::FrameFace;
    EXPECT_EQ(actions::EnlargedFaceRect({10, 20, 100, 50}), (FrameFace{-5, 13, 130, 65}));
    // 1.3 x 7 = 9.1 -> 9, 7 / 2 - 9 / 2 = -1; 1.3 x 5 = 6.5 -> 7, 5 / 2 - 7 / 2 = -1.
    EXPECT_EQ(actions::EnlargedFaceRect({0, 100, 7, 5}), (FrameFace{-1, 99, 9, 7}));
    EXPECT_EQ(actions::EnlargedFaceRect({3, 3, 1, 1}), (FrameFace{3, 3, 1, 1}));
    EXPECT_EQ(actions::EnlargedFaceRect({}), FrameFace{});
}

TEST_F(Queue, PendingFramesBecomeFilesOnTheQueueThreadBeforeAWorkerGetsThem) {
    cv::Mat frame(120, 160, CV_8UC3, cv::Scalar(0, 0, 0));
    const recognition::FrameFace face{40, 30, 40, 40};
    std::vector<actions::PendingFrame> frames = {{frame, face}, {cv::Mat(), face}, {frame, face}};

    actions::UnrecognizedScriptForm form;
    auto script = actions::NewActionItem(ActionType::UnrecognizedScript, actions::ScriptRequest{{}, form});
    script->pending = actions::PendingImages{frames, actions::ImageFileFormat::Png, actions::FaceFraming::None};
    auto mail = actions::NewActionItem(ActionType::UnrecognizedMail, actions::MailRequest{});
    mail->pending = actions::PendingImages{frames, actions::ImageFileFormat::Jpeg, actions::FaceFraming::Enlarged};
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(script)));
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(mail)));
    ASSERT_TRUE(queue.StartThread(term));
    ASSERT_TRUE(WaitUntil([&] { return workers.Count() == 2; }));
    // The empty frame cannot be saved: logged once per item and skipped.
    EXPECT_EQ(LogCount(QStringLiteral("HandleUnrecognizedPersonEvent: Ошибка сохранения Mat во временный файл.")), 2);

    workers.Inspect([&](const std::vector<queuetest::HeldWorkers::Held>& held) {
        const ActionItem& s = *held[0].item;
        EXPECT_FALSE(s.pending.has_value());
        const auto& f = std::get<actions::UnrecognizedScriptForm>(std::get<actions::ScriptRequest>(s.payload).form);
        ASSERT_EQ(f.imageCount, 2u);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(f.rectangles[i], face);
            const QString path = platform::FromFixed(f.imageFiles[i]);
            EXPECT_TRUE(path.endsWith(u".png"));
            const cv::Mat back = cv::imread(QFile::encodeName(path).toStdString());
            EXPECT_EQ(cv::countNonZero(back.reshape(1)), 0);  // the script gets the frame untouched
        }
        EXPECT_EQ(f.rectangles[2], recognition::FrameFace{});

        const auto& m = std::get<actions::MailRequest>(held[1].item->payload);
        ASSERT_EQ(m.attachments.size(), 2);
        const cv::Mat framed = cv::imread(QFile::encodeName(m.attachments[0]).toStdString(), cv::IMREAD_GRAYSCALE);
        ASSERT_FALSE(framed.empty());
        // Enlarged to {34, 24, 52, 52}: its edges are white, the face inside and the old edge dark.
        EXPECT_GT(framed.at<uchar>(50, 34), 200);
        EXPECT_GT(framed.at<uchar>(24, 60), 200);
        EXPECT_GT(framed.at<uchar>(75, 85), 200);
        EXPECT_LT(framed.at<uchar>(50, 40), 40);
        EXPECT_LT(framed.at<uchar>(50, 60), 40);
    });
    EXPECT_EQ(TempFiles().size(), 4);
    workers.FinishAll();
    EXPECT_TRUE(TempFiles().isEmpty());
}

}  // namespace
