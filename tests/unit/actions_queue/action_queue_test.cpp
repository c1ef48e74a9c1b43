// The queue: its limit, CSV lines going ahead of actions that wait for a worker, shutdown with
// items still queued, the workers that report scripts and mail as unavailable, and its pictures.

#include "app/actions/action_queue.h"
#include "app/actions/action_images.h"
#include "queue_test_support.h"

#include <opencv2/imgcodecs.hpp>

#include <QFileInfo>
#include <QRegularExpression>

namespace {

using actions::ActionItem;
using actions::ActionQueue;
using actions::ActionType;
using queuetest::WaitUntil;

cv::Mat Picture(int value = 90) { return cv::Mat(40, 60, CV_8UC3, cv::Scalar::all(value)); }

// An item of the type with one saved picture.
std::unique_ptr<ActionItem> PictureItem(ActionType type) {
    auto item = type == ActionType::RecognizedScript ? actions::NewActionItem(type, actions::ScriptRequest{})
                                                     : actions::NewActionItem(type, actions::MailRequest{});
    item->files.push_back(*actions::SaveTemporaryImage(Picture(), actions::ImageFileFormat::Jpeg));
    return item;
}

std::unique_ptr<ActionItem> CsvItem() { return actions::NewActionItem(ActionType::CsvLine, actions::CsvRecord{}); }

using Queue = queuetest::HeldQueue;

TEST_F(Queue, The257thItemIsDroppedWithItsPicture) {
    for (size_t i = 0; i < ActionQueue::kMaxItems; ++i)
        ASSERT_TRUE(queue.EnqueueActionItem(PictureItem(ActionType::RecognizedScript)));
    auto dropped = PictureItem(ActionType::RecognizedScript);
    const QString droppedFile = dropped->files.front().Path();
    EXPECT_FALSE(queue.EnqueueActionItem(std::move(dropped)));
    EXPECT_FALSE(QFileInfo::exists(droppedFile));
    EXPECT_EQ(TempFiles().size(), ActionQueue::kMaxItems);
    EXPECT_EQ(LogCount(queuetest::kQueueFull), 1);
    queue.ClearActionQueue();
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_TRUE(queue.EnqueueActionItem(CsvItem()));
}

TEST_F(Queue, AMailWaitingForAWorkerLetsALaterCsvLineGoFirst) {
    ASSERT_TRUE(queue.StartThread(term));
    for (unsigned i = 0; i < ActionQueue::kWorkerSlots; ++i)
        ASSERT_TRUE(queue.EnqueueActionItem(PictureItem(ActionType::RecognizedScript)));
    ASSERT_TRUE(WaitUntil([&] { return workers.Count() == ActionQueue::kWorkerSlots; }));
    auto mail = PictureItem(ActionType::RecognizedMail);
    const uint32_t mailNumber = mail->number;
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(mail)));
    ASSERT_TRUE(queue.EnqueueActionItem(CsvItem()));
    ASSERT_TRUE(WaitUntil([&] { return CsvLines().size() == 1 && tab.Entries().size() == 1; }));
    EXPECT_EQ(tab.Entries()[0].actionNumber, int32_t(mailNumber + 1));
    // Further passes: the mail still finds no worker.
    std::this_thread::sleep_for(3 * ActionQueue::kPollPeriod);
    EXPECT_EQ(queue.QueuedCount(), 1u);

    workers.FinishOne();
    ASSERT_TRUE(WaitUntil([&] { return queue.QueuedCount() == 0; }));
    workers.Inspect([&](const auto& held) {
        ASSERT_EQ(held.size(), ActionQueue::kWorkerSlots);
        EXPECT_EQ(held.back().item->number, mailNumber);
    });
}

TEST_F(Queue, ShutdownWaitsForTheWorkersAndLeavesNoFiles) {
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(
            queue.EnqueueActionItem(PictureItem(i % 2 ? ActionType::RecognizedScript : ActionType::RecognizedMail)));
    ASSERT_TRUE(queue.StartThread(term));
    ASSERT_TRUE(WaitUntil([&] { return workers.Count() == ActionQueue::kWorkerSlots; }));
    term.Set();
    std::this_thread::sleep_for(3 * ActionQueue::kPollPeriod);
    EXPECT_EQ(LogCount(QStringLiteral("ActionQueueThreadFunc completed.")), 0);  // workers still run
    workers.FinishAll();
    queue.WaitForThread();
    EXPECT_EQ(queue.QueuedCount(), 100u - ActionQueue::kWorkerSlots);
    queue.ClearActionQueue();
    EXPECT_TRUE(TempFiles().isEmpty());
    EXPECT_EQ(Log(),
              (QStringList{QStringLiteral("ActionQueueThreadFunc started."),
                           QStringLiteral("ActionQueueThreadFunc: hTermEvent signaled."),
                           QStringLiteral("ActionQueueThreadFunc: Ожидание завершения нитей выполнения действий."),
                           QStringLiteral("ActionQueueThreadFunc completed.")}));
}

class Workers : public queuetest::PrivateFolders {};

TEST_F(Workers, RunOnTheirOwnThreadsAndDeleteTheirPicturesBeforeTheQueueEnds) {
    queuetest::ActionsTab tab;
    shell::Journal journal{&tab};
    queuetest::ReportingWorkers workers{journal};
    ActionQueue queue{journal, workers, csvLog};
    platform::Event term{true, false};
    auto script = PictureItem(ActionType::RecognizedScript);
    const uint32_t n = script->number;
    ASSERT_TRUE(queue.StartThread(term));
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(script)));
    ASSERT_TRUE(queue.EnqueueActionItem(actions::NewActionItem(ActionType::UnrecognizedMail, actions::MailRequest{})));
    ASSERT_TRUE(WaitUntil([&] { return tab.Entries().size() == 2; }));
    term.Set();
    queue.WaitForThread();
    EXPECT_TRUE(TempFiles().isEmpty());

    std::vector<shell::JournalEntry> entries = tab.Entries();
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.actionNumber < b.actionNumber; });
    EXPECT_EQ(entries[0].actionNumber, int32_t(n));
    EXPECT_EQ(entries[0].actionText, QStringLiteral("VeloxThreadFunc"));
    EXPECT_EQ(entries[1].actionNumber, int32_t(n + 1));
    EXPECT_EQ(entries[1].actionText, QStringLiteral("SendMailThreadFunc"));
    const QStringList log = Log();
    EXPECT_TRUE(log.contains(QStringLiteral("VeloxThreadFunc %1 started.").arg(n)));
    const qsizetype mailDone = log.indexOf(QStringLiteral("SendMailThreadFunc %1 completed.").arg(n + 1));
    EXPECT_GE(mailDone, 0);
    EXPECT_LT(mailDone, log.indexOf(QStringLiteral("ActionQueueThreadFunc completed.")));
}

class Pictures : public queuetest::PrivateFolders {};

TEST_F(Pictures, AreFreshPrivateFilesThatGoWithTheirOwner) {
    QString path;
    {
        const auto png = actions::SaveTemporaryImage(Picture(33), actions::ImageFileFormatFrom(1));
        path = png->Path();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("/ostv\\{[0-9A-F-]{36}\\}\\.png$")).match(path).hasMatch());
        EXPECT_EQ(QFileInfo(path).permissions(),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        EXPECT_EQ(cv::norm(cv::imread(QFile::encodeName(path).toStdString()), Picture(33), cv::NORM_INF), 0.0);
        EXPECT_TRUE(actions::SaveTemporaryImage(Picture(), actions::ImageFileFormatFrom(7))->Path().endsWith(u".jpg"));
    }
    EXPECT_FALSE(actions::SaveTemporaryImage(cv::Mat(), actions::ImageFileFormat::Bmp).has_value());
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST(FaceFrame, GrowsByAThirdAboutTheCentreWithIntegerHalves) {
    using recognition::FrameFace;
    EXPECT_EQ(actions::EnlargedFaceRect({10, 20, 100, 50}), (FrameFace{-5, 13, 130, 65}));
    // 1.3 x 7 = 9.1 -> 9, 7 / 2 - 9 / 2 = -1; 1.3 x 5 = 6.5 -> 7, 5 / 2 - 7 / 2 = -1.
    EXPECT_EQ(actions::EnlargedFaceRect({0, 100, 7, 5}), (FrameFace{-1, 99, 9, 7}));
    EXPECT_EQ(actions::EnlargedFaceRect({3, 3, 1, 1}), (FrameFace{3, 3, 1, 1}));
}

}  // namespace
