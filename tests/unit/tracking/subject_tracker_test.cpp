#include "app/recognition/subject_tracker.h"
#include "app/recognition/face_drawing.h"
#include "app/recognition/frame_history.h"
#include "app/recognition/hang_notice.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <vector>

namespace {

using recognition::FrameFace;
using recognition::Subject;

constexpr double kSecond = 1.0 / 86400.0;

struct Recorder : recognition::TrackingEvents {
    void FaceDetected(const Subject& subject, const cv::Mat& frame) override {
        detected.push_back(subject.id);
        EXPECT_FALSE(frame.empty());
    }
    void UnrecognizedSubjectVanished(const Subject& subject, double) override { unrecognized.push_back(subject.id); }
    void PresenceEnded(const Subject& subject, double seconds) override {
        ended.push_back(subject.id);
        presence.push_back(seconds);
    }
    std::vector<uint32_t> detected, unrecognized, ended;
    std::vector<double> presence;
};

class Tracking : public ::testing::Test {
protected:
    // One frame: track, then drop the vanished, as the frame processing does.
    void Frame(std::vector<FrameFace> faces, bool shortInvisibility = false) {
        now += 0.1 * kSecond;
        tracker.Track(faces, frame, now, display);
        tracker.RemoveVanished(now, shortInvisibility);
    }
    std::vector<uint32_t> Ids() const {
        std::vector<uint32_t> ids;
        for (const auto& s : tracker.Subjects()) ids.push_back(s->id);
        return ids;
    }

    Recorder events;
    recognition::SubjectTracker tracker{events};
    cv::Mat frame = cv::Mat(480, 640, CV_8UC3, cv::Scalar(1, 2, 3));
    recognition::DisplayGeometry display{640, 480, 640, 480};
    double now = 45000.0;
};

TEST_F(Tracking, AMissedFrameEndsTheSubjectUnlessShortInvisibilityBridgesIt) {
    const FrameFace face{100, 100, 80, 80};
    Frame({face});
    Frame({face});
    ASSERT_EQ(events.detected.size(), 1u);
    const uint32_t first = events.detected[0];
    Frame({});
    EXPECT_EQ(events.unrecognized, std::vector<uint32_t>{first});
    EXPECT_EQ(events.ended, std::vector<uint32_t>{first});
    EXPECT_NEAR(events.presence[0], 0.2, 1e-6);
    Frame({face});
    ASSERT_EQ(Ids().size(), 1u);
    EXPECT_GT(Ids()[0], first);

    const uint32_t second = Ids()[0];
    Frame({}, true);
    Frame({}, true);
    Frame({face}, true);
    EXPECT_EQ(Ids(), std::vector<uint32_t>{second});
    for (int i = 0; i < 4; ++i) Frame({}, true);
    EXPECT_EQ(Ids(), std::vector<uint32_t>{second});
    Frame({}, true);
    Frame({}, true);
    EXPECT_TRUE(Ids().empty());
}

TEST_F(Tracking, TheLargerOverlapTakesTheSubjectAndTheFortyPercentRuleStartsNewOnes) {
    Frame({{100, 100, 100, 100}});
    const uint32_t subject = Ids()[0];
    // Both overlap; the second covers more of the old rectangle.
    Frame({{150, 100, 100, 100}, {110, 100, 100, 100}});
    ASSERT_EQ(tracker.FaceTable().size(), 2u);
    EXPECT_EQ(tracker.FaceTable()[1].subjectId, subject);
    EXPECT_NE(tracker.FaceTable()[0].subjectId, subject);
    EXPECT_EQ(tracker.Find(subject)->rectangle, (FrameFace{110, 100, 100, 100}));

    tracker.Clear();
    Frame({{0, 0, 100, 100}});
    const uint32_t kept = Ids()[0];
    Frame({{60, 0, 100, 100}});  // exactly 40 % of the last rectangle
    EXPECT_EQ(Ids(), std::vector<uint32_t>{kept});
    Frame({{121, 0, 100, 100}});  // 39 %
    ASSERT_EQ(Ids().size(), 1u);
    EXPECT_NE(Ids()[0], kept);
}

TEST_F(Tracking, GreedyMatchingGivesEachSubjectOneFaceAndIdsKeepCountingAfterAStop) {
    Frame({{0, 0, 100, 100}, {300, 0, 100, 100}});
    const std::vector<uint32_t> before = Ids();
    ASSERT_EQ(before.size(), 2u);
    // The face between them overlaps the first subject most; the one left of it gets nothing
    // after the first subject is taken and becomes new.
    Frame({{10, 0, 100, 100}, {0, 0, 60, 100}, {300, 0, 100, 100}});
    EXPECT_EQ(tracker.FaceTable()[0].subjectId, before[0]);
    EXPECT_EQ(tracker.FaceTable()[2].subjectId, before[1]);
    EXPECT_GT(tracker.FaceTable()[1].subjectId, before[1]);
    EXPECT_EQ(tracker.SubjectsInFaceOrder().size(), 3u);
    EXPECT_EQ(tracker.SubjectsInFaceOrder()[2]->id, before[1]);

    const uint32_t last = Ids().back();
    tracker.Clear();
    EXPECT_EQ(tracker.Find(last), nullptr);
    Frame({{0, 0, 100, 100}});
    EXPECT_EQ(Ids()[0], last + 1);
}

TEST_F(Tracking, RemovalKeepsTheListSearchableAndFacesPointingAtTheirSubjects) {
    Frame({{0, 0, 50, 50}, {100, 0, 50, 50}, {200, 0, 50, 50}});
    const std::vector<uint32_t> ids = Ids();
    tracker.Find(ids[1])->personId = 7;
    Frame({{200, 0, 50, 50}});
    EXPECT_EQ(events.unrecognized, std::vector<uint32_t>{ids[0]});
    EXPECT_EQ(events.ended, (std::vector<uint32_t>{ids[0], ids[1]}));
    EXPECT_EQ(tracker.Find(ids[2])->faceIndex, 0);
    EXPECT_EQ(tracker.SubjectOfFace(0)->id, ids[2]);
    EXPECT_EQ(tracker.Find(ids[0]), nullptr);
}

TEST(ScreenRectangle, ScalesWithRoundingAndIsEmptyWithoutASize) {
    const FrameFace face{101, 51, 33, 21};
    EXPECT_EQ(recognition::ToScreen(face, {640, 480, 640, 480}), (recognition::ScreenRect{101, 51, 134, 72}));
    EXPECT_EQ(recognition::ToScreen(face, {640, 480, 320, 240}), (recognition::ScreenRect{51, 26, 68, 37}));
    EXPECT_EQ(recognition::ToScreen(face, {640, 480, 0, 240}), recognition::ScreenRect{});
}

TEST_F(Tracking, HistoryRingWrapsAndKeepsOnlyUnidentifiedFaces) {
    recognition::FrameHistory history;
    EXPECT_TRUE(history.OldestFirst().empty());
    Frame({{0, 0, 50, 50}, {100, 0, 50, 50}});
    tracker.Find(Ids()[1])->personId = 3;
    EXPECT_TRUE(history.Due(now));
    history.Push(frame, now, tracker, true, recognition::HistoryPictures::Wanted);
    EXPECT_FALSE(history.Due(now + 0.5 * kSecond));
    const recognition::HistorySlot& first = history.Slot(history.Head());
    ASSERT_EQ(first.faces.size(), 1u);
    EXPECT_EQ(first.faces[0].subjectId, Ids()[0]);
    EXPECT_EQ(first.picture.at<cv::Vec3b>(0, 0), cv::Vec3b(1, 2, 3));
    // The copy is the slot's own: the frame may be drawn on afterwards.
    EXPECT_NE(first.picture.data, frame.data);

    for (int i = 1; i <= 40; ++i)
        history.Push(frame, now + i * kSecond, tracker, false, recognition::HistoryPictures::Wanted);
    const std::vector<int> order = history.OldestFirst();
    ASSERT_EQ(order.size(), 30u);
    EXPECT_EQ(order.back(), history.Head());
    EXPECT_DOUBLE_EQ(history.Slot(order.front()).time, now + 11 * kSecond);
    // Nothing reads a slot without faces, so it keeps no picture.
    for (int slot : order) {
        EXPECT_TRUE(history.Slot(slot).faces.empty());
        EXPECT_TRUE(history.Slot(slot).picture.empty());
    }
}

// With no action configured for unrecognized persons nothing would read the history: its slots
// keep neither faces nor pictures, and keep them again once actions are wanted.
TEST_F(Tracking, HistoryKeepsNothingWhenNoActionWantsIt) {
    recognition::FrameHistory history;
    Frame({{0, 0, 50, 50}});
    history.Push(frame, now, tracker, true, recognition::HistoryPictures::NotWanted);
    EXPECT_TRUE(history.Slot(history.Head()).faces.empty());
    EXPECT_TRUE(history.Slot(history.Head()).picture.empty());
    EXPECT_EQ(history.OldestFirst().size(), 1u);
    history.Push(frame, now + kSecond, tracker, true, recognition::HistoryPictures::Wanted);
    EXPECT_EQ(history.Slot(history.Head()).faces.size(), 1u);
    EXPECT_FALSE(history.Slot(history.Head()).picture.empty());
}

TEST_F(Tracking, FramesAreColouredByWatchList) {
    Frame({{10, 10, 40, 40}, {100, 10, 40, 40}, {200, 10, 40, 40}});
    tracker.Find(Ids()[0])->personId = 1;
    tracker.Find(Ids()[1])->personId = 2;
    tracker.Find(Ids()[1])->person.listNumber = 1;
    cv::Mat picture(100, 300, CV_8UC3, cv::Scalar(0, 0, 0));
    recognition::DrawFaceFrames(picture, std::vector<FrameFace>{{10, 10, 40, 40}, {100, 10, 40, 40}, {200, 10, 40, 40}},
                                tracker);
    // Anti-aliased edges: compare the direction of the colour, not exact values.
    const auto colourAt = [&](int x) {
        const cv::Vec3b p = picture.at<cv::Vec3b>(30, x);
        return cv::Vec3b(p[0] > 127 ? 255 : 0, p[1] > 127 ? 255 : 0, p[2] > 127 ? 255 : 0);
    };
    EXPECT_EQ(colourAt(10), cv::Vec3b(0, 255, 0));
    EXPECT_EQ(colourAt(100), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(colourAt(200), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(picture.at<cv::Vec3b>(30, 30), cv::Vec3b(0, 0, 0));
}

TEST(SubjectLabel, MovesOnlyBeyondFourPixels) {
    Subject subject;
    EXPECT_TRUE(subject.MoveLabel({100, 50}));
    EXPECT_FALSE(subject.MoveLabel({104, 46}));
    EXPECT_TRUE(subject.MoveLabel({105, 50}));
    EXPECT_EQ(subject.lastLabelPosition.x, 105);
}

TEST(HangNotice, RaisedOnceAfterTheDelayAndEndedByTheNextFrame) {
    int32_t flag = 0;
    recognition::HangNotice notice(flag);
    EXPECT_FALSE(notice.Check(0, true, 1000, 60));
    EXPECT_FALSE(notice.Check(1000, true, 1005, 60));
    EXPECT_TRUE(notice.Check(1000, true, 1006, 60));
    EXPECT_EQ(flag, 1);
    EXPECT_FALSE(notice.Check(1000, true, 1100, 60));
    EXPECT_TRUE(notice.EndOnFrame());
    EXPECT_FALSE(notice.EndOnFrame());
    // While connecting the limit is the connection time less five seconds.
    EXPECT_FALSE(notice.Check(1000, false, 1055, 60));
    EXPECT_TRUE(notice.Check(1000, false, 1056, 60));
}

}  // namespace
