#include "app/viewport/viewport_processor.h"

#include "app/camera/camera_list.h"
#include "app/camera/camera_work.h"
#include "app/camera/hangup_detection.h"
#include "app/shell/journal.h"
#include "platform/fixedtext.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <arpa/inet.h>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using recognition::FrameFace;
using recognition::Subject;

constexpr double kSecond = 1.0 / 86400.0;

struct Surface : viewport::ViewportSurface {
    void ShowFaceCount(int faces) override { counts.push_back(faces); }
    void LayOutAgain(int columns, int rows) override {
        layouts.push_back({columns, rows});
        displayed = {columns / 2, rows / 2};
    }
    cv::Size DisplayedSize() const override { return displayed; }
    void ShowPicture(const cv::Mat& picture) override { picture.copyTo(shown); }
    void ShowConnectingAnimation() override { ++animations; }
    recognition::LabelPoint PictureOrigin() const override { return {1000, 500}; }
    void MoveLabel(uint32_t subjectId, recognition::LabelPoint at) override { moves.push_back({subjectId, at}); }
    void SetLabelVisible(uint32_t, bool visible) override { visibility.push_back(visible); }

    std::vector<int> counts;
    std::vector<cv::Size> layouts;
    cv::Size displayed;
    cv::Mat shown;
    int animations = 0;
    std::vector<std::pair<uint32_t, recognition::LabelPoint>> moves;
    std::vector<bool> visibility;
};

struct Events : viewport::ViewportEvents {
    void FaceDetected(const Subject& s, const cv::Mat&) override { detected.push_back(s.id); }
    void UnrecognizedSubjectVanished(const Subject& s, double) override { unrecognized.push_back(s.id); }
    void PresenceEnded(const Subject& s, double) override { ended.push_back(s.id); }
    void BroadcastCameraState(int operation) override { operations.push_back(operation); }
    bool UnrecognizedActionsWanted() const override { return true; }
    bool TakeSnapshotRequest() override { return std::exchange(snapshot, false); }
    void AddSnapshotFaces(const cv::Mat&, std::span<const FrameFace> faces) override {
        snapshotFaces += int(faces.size());
    }
    std::vector<uint32_t> detected, unrecognized, ended;
    std::vector<int> operations;
    bool snapshot = false;
    int snapshotFaces = 0;
};

// Keeps the entries and reads them when the test looks, as the journal tab reads an entry only
// when it gets to it.
struct Journal : shell::JournalSink {
    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override {
        EXPECT_EQ(tab, shell::JournalTab::Camera);
        entries.push_back(std::move(entry));
        return true;
    }
    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const auto& entry : entries)
            texts.push_back(entry->eventText + QLatin1Char('|') + entry->description +
                            QStringLiteral("|%1").arg(int(entry->statusIcon)));
        return texts;
    }
    std::vector<std::unique_ptr<shell::JournalEntry>> entries;
};

class Viewport : public ::testing::Test {
protected:
    void SetUp() override {
        work.pCvSream = std::make_unique<camera::CvStream>();
        platform::CopyToFixed(work.descriptor.Name, u"Вход");
        work.opened = 1;
        work.lastActivity = 1000;
    }
    // A new frame from the capture thread, then one tick.
    void FrameTick(std::vector<FrameFace> faces) {
        nextFaces = std::move(faces);
        {
            std::lock_guard<platform::CriticalSection> lock(work.pCvSream->frameLock);
            work.pCvSream->frame = cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
        }
        work.pCvSream->newFrameEvent.Set();
        Tick();
    }
    void Tick() {
        ole += 0.3 * kSecond;
        processor.Tick(true, settings);
    }

    Surface surface;
    Events events;
    Journal journal;
    const shell::Journal posting{&journal};
    camera::CameraWork work;
    std::vector<FrameFace> nextFaces;
    std::vector<size_t> dispatched;
    double ole = 45000;
    int64_t unix = 1001;
    viewport::ViewportSettings settings;
    viewport::ViewportProcessor processor{
        work,
        surface,
        events,
        posting,
        [this](const cv::Mat& frame, int maxSubject) {
            EXPECT_EQ(frame.cols, 640);
            EXPECT_EQ(maxSubject, settings.maxSubject);
            return nextFaces;
        },
        [this](const cv::Mat&, std::span<recognition::DispatchSubject* const> subjects, double) {
            dispatched.push_back(subjects.size());
        },
        {[this] { return ole; }, [this] { return unix; }}};
};

TEST_F(Viewport, FramesAreDetectedTrackedDispatchedAndShownAtTheDisplayedSize) {
    processor.Tick(false, settings);
    EXPECT_TRUE(surface.counts.empty());

    FrameTick({{100, 100, 80, 80}});
    EXPECT_EQ(surface.layouts, std::vector<cv::Size>{cv::Size(640, 480)});
    EXPECT_EQ(surface.shown.size(), cv::Size(320, 240));
    EXPECT_EQ(surface.counts, std::vector<int>{1});
    EXPECT_EQ(dispatched, std::vector<size_t>{1});
    ASSERT_EQ(events.detected.size(), 1u);
    const Subject* subject = processor.Tracker().Find(events.detected[0]);
    ASSERT_NE(subject, nullptr);
    EXPECT_EQ(subject->screen, (recognition::ScreenRect{50, 50, 90, 90}));
    // The white frame was drawn before the picture was scaled down.
    EXPECT_GT(surface.shown.at<cv::Vec3b>(70, 50)[1], 60);
    ASSERT_TRUE(work.lastFrame);
    EXPECT_EQ(work.lastFrame->size(), cv::Size(640, 480));

    FrameTick({{102, 100, 80, 80}});
    EXPECT_EQ(surface.counts, std::vector<int>{1});
    EXPECT_EQ(surface.layouts.size(), 1u);
    EXPECT_EQ(events.detected.size(), 1u);

    // No new frame: nothing happens but the hang check.
    Tick();
    EXPECT_EQ(dispatched.size(), 2u);

    settings.framedFace = false;
    FrameTick({});
    EXPECT_EQ(surface.counts, (std::vector<int>{1, 0}));
    EXPECT_EQ(dispatched.size(), 2u);
    EXPECT_EQ(surface.shown.at<cv::Vec3b>(70, 50), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(events.unrecognized, events.detected);
}

TEST_F(Viewport, HistoryTakesOneFramePerSecond) {
    FrameTick({{100, 100, 80, 80}});
    FrameTick({{100, 100, 80, 80}});
    FrameTick({{100, 100, 80, 80}});
    FrameTick({{100, 100, 80, 80}});
    EXPECT_EQ(processor.History().OldestFirst().size(), 1u);
    FrameTick({{100, 100, 80, 80}});
    EXPECT_EQ(processor.History().OldestFirst().size(), 2u);
    EXPECT_EQ(processor.History().Slot(processor.History().Head()).faces.size(), 1u);
}

TEST_F(Viewport, ACameraThatStopsDeliveringRaisesTheHangNoticeUntilTheNextFrame) {
    unix = 1005;
    Tick();
    EXPECT_FALSE(processor.HangNoticeActive());
    unix = 1006;
    Tick();
    Tick();
    EXPECT_TRUE(processor.HangNoticeActive());
    EXPECT_EQ(work.hangNotice, 1);
    EXPECT_EQ(events.operations, std::vector<int>{4});
    EXPECT_EQ(surface.animations, 1);
    FrameTick({});
    EXPECT_EQ(events.operations, (std::vector<int>{4, 5}));
    EXPECT_EQ(work.hangNotice, 0);
    EXPECT_EQ(journal.Texts(), (std::vector<QString>{QStringLiteral("Возможно камера \"висит\"|Вход|2"),
                                                     QStringLiteral("Камера работает|Вход|1")}));

    // Still connecting: the connection limit less five seconds.
    work.opened = 0;
    unix = 1055;
    Tick();
    EXPECT_FALSE(processor.HangNoticeActive());
    unix = 1056;
    Tick();
    EXPECT_TRUE(processor.HangNoticeActive());
}

TEST_F(Viewport, AStopEndsTheHangNoticeSoTheNextRunNeitherClaimsItWorksNorMissesAStall) {
    unix = 1006;
    Tick();
    ASSERT_TRUE(processor.HangNoticeActive());
    processor.Reset();  // the camera stopped
    EXPECT_EQ(work.hangNotice, 0);

    // The next run's first frame: nothing had been announced for it.
    FrameTick({});
    EXPECT_EQ(events.operations, std::vector<int>{4});
    // It stalls: announced anew.
    unix = 1012;
    Tick();
    EXPECT_EQ(events.operations, (std::vector<int>{4, 4}));
    EXPECT_EQ(journal.Texts(), (std::vector<QString>{QStringLiteral("Возможно камера \"висит\"|Вход|2"),
                                                     QStringLiteral("Возможно камера \"висит\"|Вход|2")}));
}

TEST_F(Viewport, AStartedCameraThatStallsBeforeItsFirstFrameIsAnnounced) {
    unix = 1006;
    Tick();
    ASSERT_TRUE(processor.HangNoticeActive());
    // A start clears the whole record and takes the new camera's description.
    work = camera::CameraWork{};
    work.pCvSream = std::make_unique<camera::CvStream>();
    platform::CopyToFixed(work.descriptor.Name, u"Выход");
    work.lastActivity = 2000;
    unix = 2056;  // still connecting after the connection limit less five seconds
    Tick();
    EXPECT_TRUE(processor.HangNoticeActive());
    FrameTick({});
    EXPECT_EQ(events.operations, (std::vector<int>{4, 4, 5}));
    EXPECT_EQ(journal.Texts(), (std::vector<QString>{QStringLiteral("Возможно камера \"висит\"|Вход|2"),
                                                     QStringLiteral("Возможно камера \"висит\"|Выход|2"),
                                                     QStringLiteral("Камера работает|Выход|1")}));
}

TEST_F(Viewport, HangEntriesKeepTheNameOfTheCameraTheyWereMadeFor) {
    unix = 1006;
    Tick();
    FrameTick({});
    // The next start overwrites the record while both entries still wait in the queue.
    platform::CopyToFixed(work.descriptor.Name, u"Выход");
    EXPECT_EQ(journal.Texts(), (std::vector<QString>{QStringLiteral("Возможно камера \"висит\"|Вход|2"),
                                                     QStringLiteral("Камера работает|Вход|1")}));
}

// The hang-up watchdog asks the service to reset a hung camera connection while the viewport
// keeps ticking: a service that takes five seconds to answer holds up no tick.
TEST_F(Viewport, ASlowServiceAnsweringTheCloseCommandHoldsUpNoTick) {
    using namespace std::chrono_literals;
    platform::Event sending(true, false);
    camera::SetCloseSocketCommandForTest([&sending](uint32_t, uint16_t) {
        sending.Set();
        std::this_thread::sleep_for(5s);
        return true;
    });
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        camera::g_CameraWork = camera::CameraWork{};
        camera::g_CameraWork.descriptor.Type = camera::kIpCamera;
        camera::g_CameraWork.address.address = inet_addr("10.0.0.7");
        camera::g_CameraWork.address.port = 554;
        camera::g_CameraWork.opened = 1;
        camera::g_CameraWork.lastActivity = 1'700'000'000;
        camera::g_CameraStarted = 1;
    }
    std::atomic<bool> checked{false};
    std::thread watchdog([this, &checked] {
        camera::CheckCameraHangup(posting, settings::CamerasExtParam{}, 1'700'000'100);  // no limits: hung
        checked = true;
    });
    const bool sent = sending.Wait(5000);
    std::chrono::steady_clock::duration longest{};
    int ticks = 0;
    while (sent && !checked) {
        const auto start = std::chrono::steady_clock::now();
        FrameTick({{100, 100, 80, 80}});
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
        ++ticks;
        std::this_thread::sleep_for(30ms);
    }
    watchdog.join();
    camera::SetCloseSocketCommandForTest(nullptr);
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        camera::g_CameraStarted = 0;
        camera::g_CameraWork = camera::CameraWork{};
    }
    ASSERT_TRUE(sent);
    // The ticks measured span the five seconds the command was out.
    EXPECT_GT(ticks, 100);
    EXPECT_LT(longest, 100ms) << std::chrono::duration<double>(longest).count() << " s";
}

TEST_F(Viewport, LabelsFollowTheirFacesAndHideWhileTheFaceIsMissing) {
    settings.shortInvisibility = true;
    FrameTick({{100, 100, 80, 80}});
    Subject* subject = processor.Tracker().Subjects().front().get();
    subject->hasLabel = true;
    FrameTick({{100, 100, 80, 80}});
    ASSERT_EQ(surface.moves.size(), 1u);
    EXPECT_EQ(surface.moves[0].second.x, 1050);
    EXPECT_EQ(surface.moves[0].second.y, 530);
    EXPECT_EQ(surface.visibility, std::vector<bool>{true});
    FrameTick({{104, 102, 80, 80}});  // two screen pixels: stays
    EXPECT_EQ(surface.moves.size(), 1u);
    FrameTick({});
    EXPECT_EQ(surface.visibility, (std::vector<bool>{true, false}));
}

TEST_F(Viewport, ASnapshotRequestTakesTheFacesOfTheNextFrameThatHasAny) {
    events.snapshot = true;
    FrameTick({{10, 10, 50, 50}, {200, 10, 50, 50}});
    EXPECT_EQ(events.snapshotFaces, 2);
    EXPECT_FALSE(events.snapshot);
    events.snapshot = true;
    FrameTick({});
    EXPECT_EQ(events.snapshotFaces, 2);
}

TEST_F(Viewport, AStateRequestGetsTheUnmirroredPictureAndTheSubjectsWithSureHits) {
    recognition::CameraStateRequest idle;
    processor.AnswerStateRequest(idle, false, ole);
    EXPECT_TRUE(idle.completed.Wait(0));
    EXPECT_EQ(idle.cameraRunning, 0);

    FrameTick({{100, 100, 80, 80}, {300, 100, 80, 80}});
    work.lastFrame->at<cv::Vec3b>(0, 0) = cv::Vec3b(9, 9, 9);
    work.descriptor.Mirroring = 1;
    work.descriptor.Type = 1;
    Subject& known = *processor.Tracker().Subjects().back();
    known.sureHits = 2;
    known.personId = 5;
    known.bestDistance = 0.25f;
    known.lastSeen = ole - 1.5 * kSecond;

    recognition::CameraStateRequest request;
    request.flags = recognition::CameraStateRequest::kWantPicture | recognition::CameraStateRequest::kWantSubjects;
    processor.AnswerStateRequest(request, true, ole);
    EXPECT_TRUE(request.completed.Wait(0));
    EXPECT_EQ(request.cameraRunning, 1);
    EXPECT_EQ(request.cameraType, 1);
    EXPECT_EQ(platform::FromFixed(request.cameraName), QStringLiteral("Вход"));
    EXPECT_EQ(request.frameWidth, 640);
    EXPECT_EQ(request.picture.at<cv::Vec3b>(0, 639), cv::Vec3b(9, 9, 9));
    ASSERT_EQ(request.subjects.size(), 1u);
    EXPECT_EQ(request.subjects[0].personId, 5u);
    EXPECT_NEAR(request.subjects[0].millisecondsSinceSeen, 1500, 2);
    EXPECT_NEAR(request.subjects[0].confidence, 75.0, 1e-4);
}

}  // namespace
