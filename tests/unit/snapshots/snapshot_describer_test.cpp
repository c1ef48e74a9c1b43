// The snapshot describer with a stand-in for the face analysis: what arrives, in which order, what
// counts while it is on its way, and that nothing arrives after a stop or without a receiver.

#include "app/snapshots/snapshot_describer.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using recognition::FrameFace;
using snapshots::SnapshotRecord;

// A face of width 0 has no landmarks; others get a grey chip whose shade and descriptor are the
// face's column. Each call may be held up to let a test look while faces are on their way.
class StandInDescriber final : public recognition::FaceDescriber {
public:
    std::optional<recognition::DescribedFace> Describe(const cv::Mat&, const FrameFace& face) override {
        while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++calls;
        if (face.width == 0) return std::nullopt;
        recognition::DescribedFace described;
        described.chip = cv::Mat(150, 150, CV_8UC3, cv::Scalar::all(face.x));
        described.descriptor.values[0] = float(face.x);
        return described;
    }

    std::atomic<bool> hold{false};
    std::atomic<int> calls{0};
};

std::vector<FrameFace> Faces(std::initializer_list<int> columns) {
    std::vector<FrameFace> faces;
    for (int x : columns) faces.push_back({x, 10, x == 0 ? 0 : 40, 40});
    return faces;
}

QStringList TemporaryPictures() {
    return QDir(platform::TempFolder()).entryList({QStringLiteral("ostv*")}, QDir::Files);
}

class SnapshotDescriberTest : public ::testing::Test {
protected:
    SnapshotDescriberTest() {
        auto owned = std::make_unique<StandInDescriber>();
        standIn = owned.get();
        describer = std::make_unique<snapshots::SnapshotDescriber>(std::move(owned));
        describer->SetReceiver([this](std::vector<SnapshotRecord> records) { arrived.push_back(std::move(records)); });
    }

    cv::Mat frame = cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(50));
    StandInDescriber* standIn = nullptr;
    std::unique_ptr<snapshots::SnapshotDescriber> describer;
    std::vector<std::vector<SnapshotRecord>> arrived;
};

TEST_F(SnapshotDescriberTest, AFrameArrivesWholeInFaceOrderWithoutTheFacesThatCannotBeDescribed) {
    const QStringList before = TemporaryPictures();
    standIn->hold = true;
    describer->Describe(frame, Faces({60, 0, 120, 180}));
    describer->Describe(frame, Faces({90}));
    // Until they arrive, the faces count towards the page's limit.
    EXPECT_EQ(describer->FacesInFlight(), 5);
    // The frame was copied: the viewport draws on its own frame right after handing it over.
    frame.setTo(cv::Scalar::all(255));
    standIn->hold = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.size() == 2; }, 5000));
    EXPECT_EQ(describer->FacesInFlight(), 0);
    ASSERT_EQ(arrived[0].size(), 3u);
    EXPECT_EQ(arrived[0][0].descriptor.values[0], 60.0f);
    EXPECT_EQ(arrived[0][1].descriptor.values[0], 120.0f);
    EXPECT_EQ(arrived[0][2].descriptor.values[0], 180.0f);
    EXPECT_EQ(arrived[1][0].descriptor.values[0], 90.0f);
    // The thumbnail is the chip read back from its JPEG file, which is gone again.
    const SnapshotRecord& first = arrived[0][0];
    EXPECT_EQ(first.thumbnail.size(), QSize(150, 150));
    EXPECT_NEAR(qGray(first.thumbnail.pixel(75, 75)), 60, 2);
    EXPECT_EQ(first.chip.at<cv::Vec3b>(0, 0)[0], 60);
    EXPECT_FALSE(first.selected);
    EXPECT_EQ(first.cluster, 0);
    EXPECT_EQ(TemporaryPictures(), before);
}

TEST_F(SnapshotDescriberTest, NothingArrivesWithoutFacesOrReceiverOrAfterAStop) {
    describer->Describe(frame, Faces({0, 0}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return describer->FacesInFlight() == 0; }, 5000));
    EXPECT_EQ(standIn->calls, 2);
    describer->SetReceiver(nullptr);
    describer->Describe(frame, Faces({60}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return describer->FacesInFlight() == 0; }, 5000));
    standIn->calls = 0;

    describer->SetReceiver([this](std::vector<SnapshotRecord> records) { arrived.push_back(std::move(records)); });
    standIn->hold = true;
    describer->Describe(frame, Faces({60}));
    describer->Describe(frame, Faces({70}));
    // A stop while a face is being described waits for that face only; the rest is dropped.
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        standIn->hold = false;
    });
    describer->Stop();
    release.join();
    EXPECT_EQ(describer->FacesInFlight(), 0);
    describer->Describe(frame, Faces({80}));
    EXPECT_EQ(describer->FacesInFlight(), 0);
    QTest::qWait(100);
    EXPECT_TRUE(arrived.empty());
    EXPECT_LE(standIn->calls, 2);
}

TEST(MakeSnapshot, AChipThatCannotGoThroughItsFileIsLoggedAndLeftOut) {
    QTemporaryDir dir;
    platform::SetLogFile(dir.filePath(QStringLiteral("Ostrovid.log")), dir.filePath(QStringLiteral("Ostrovid.1.log")));
    const QByteArray previous = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir.filePath(QStringLiteral("missing")).toLocal8Bit());
    StandInDescriber standIn;
    const std::optional<SnapshotRecord> record =
        snapshots::MakeSnapshot(standIn, cv::Mat(240, 320, CV_8UC3), Faces({60}).front());
    qputenv("TMPDIR", previous);
    platform::SetLogFile(QString(), QString());
    EXPECT_FALSE(record);
    EXPECT_TRUE(testsupport::LogLines(dir.filePath(QStringLiteral("Ostrovid.log")))
                    .contains(QStringLiteral("Ошибка сохранения снимка во временный файл.")));
}

}  // namespace
