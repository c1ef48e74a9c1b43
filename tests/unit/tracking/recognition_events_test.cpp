#include "app/recognition/recognition_events.h"

#include "platform/fixedtext.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <vector>

namespace {

using namespace recognition;

constexpr double kSecond = 1.0 / 86400.0;

struct Outputs : RecognitionOutputs {
    void PersonRecognized(const RecognitionReport& r) override { recognized.push_back({r.personId, r.sureHits}); }
    void PersonUpdated(const RecognitionReport& r) override { updated.push_back(r.personId); }
    void PersonChanged(const PersonChange& c) override { changed.push_back({c.oldPersonId, c.newPersonId}); }
    void UpdateLabel(Subject& s) override { labels.push_back(s.labelText); }
    void ShowLabel(Subject&) override { ++shown; }
    void ListEntryAdded() override { ++added; }
    void ListEntryChanged(const RecognizedListItem&) override { ++entryChanged; }
    void PostRecognitionJournal(shell::RecognitionIcon icon, const QString& event,
                                const QString& description) override {
        journal.push_back({icon, event + QStringLiteral(": ") + description});
    }
    void DoRecognizedPersonAlertsAndActions(const RecognizedPersonInfo& info) override {
        actions.push_back(info.personId);
    }

    std::vector<std::pair<uint32_t, uint32_t>> recognized, changed;
    std::vector<uint32_t> updated, actions;
    std::vector<QString> labels;
    std::vector<std::pair<shell::RecognitionIcon, QString>> journal;
    int shown = 0, added = 0, entryChanged = 0;
};

struct NoTrackingEvents : TrackingEvents {
    void FaceDetected(const Subject&, const cv::Mat&) override {}
    void UnrecognizedSubjectVanished(const Subject&, double) override {}
    void PresenceEnded(const Subject&, double) override {}
};

class Recognition : public ::testing::Test {
protected:
    uint32_t NewSubject() {
        const FrameFace face{int32_t(tracker.Subjects().size()) * 200, 0, 100, 100};
        std::vector<FrameFace> faces;
        for (const auto& s : tracker.Subjects()) faces.push_back(s->rectangle);
        faces.push_back(face);
        tracker.Track(faces, frame, now, {640, 480, 640, 480});
        return tracker.Subjects().back()->id;
    }

    std::unique_ptr<RecognizedData> Result(uint32_t subject, uint32_t person, float distance, int shade = 10) {
        auto r = std::make_unique<RecognizedData>();
        r->subjectId = subject;
        r->personId = person;
        r->distance = distance;
        r->person.listNumber = person == 2 ? 1 : 0;
        platform::CopyToFixed(r->person.surname, person == 1 ? u"Иванов" : u"Петров");
        platform::CopyToFixed(r->person.forename, u"Иван");
        if (person == 2) platform::CopyToFixed(r->person.alias, u"Пётр");
        r->picture = std::make_unique<cv::Mat>(150, 150, CV_8UC3, cv::Scalar(shade, shade, shade));
        return r;
    }

    void Handle(std::unique_ptr<RecognizedData> result) {
        now += 0.6 * kSecond;
        events.Handle(std::move(result), rules, now, QStringLiteral("Вход"));
    }

    NoTrackingEvents trackingEvents;
    SubjectTracker tracker{trackingEvents};
    RememberedPersons remembered;
    RecognizedPersonsList list;
    Outputs out;
    RecognitionEvents events{tracker, remembered, list, out};
    RecognitionRules rules{35, 3};
    cv::Mat frame = cv::Mat(480, 640, CV_8UC3);
    double now = 45000.0;
};

TEST_F(Recognition, ThreeSureResultsRecogniseOnceWithLabelFromTheFirst) {
    const uint32_t s = NewSubject();
    Handle(Result(s, 1, 0.30f));
    EXPECT_EQ(out.labels, std::vector<QString>{QStringLiteral("70.0% Иванов Иван")});
    EXPECT_EQ(out.shown, 1);
    Handle(Result(s, 1, 0.40f));  // labelled, not sure
    Handle(Result(s, 1, 0.35f));  // exactly at the assurance distance counts
    EXPECT_TRUE(out.recognized.empty());
    Handle(Result(s, 1, 0.20f));
    ASSERT_EQ(out.recognized.size(), 1u);
    EXPECT_EQ(out.recognized[0], (std::pair<uint32_t, uint32_t>{1, 3}));
    EXPECT_EQ(out.added, 1);
    EXPECT_EQ(out.actions, std::vector<uint32_t>{1});
    ASSERT_EQ(out.journal.size(), 1u);
    EXPECT_EQ(out.journal[0],
              (std::pair<shell::RecognitionIcon, QString>{shell::RecognitionIcon::WhiteList,
                                                          QStringLiteral("Распознан: 80.0% - Иванов Иван")}));
    ASSERT_EQ(list.Size(), 1u);
    EXPECT_EQ(platform::FromFixed(list.At(0).cameraName), QStringLiteral("Вход"));
    EXPECT_DOUBLE_EQ(list.At(0).confidence, (1.0 - double(0.20f)) * 100);
    EXPECT_EQ(list.At(0).thumbnail.size(), cv::Size(150, 150));
    EXPECT_EQ(list.Find(tracker.Find(s)->listEntry), &list.At(0));
    EXPECT_EQ(out.shown, 1);

    // A better picture of the recognized subject updates its list entry.
    Handle(Result(s, 1, 0.10f, 200));
    EXPECT_EQ(out.updated, std::vector<uint32_t>{1});
    EXPECT_EQ(out.entryChanged, 1);
    EXPECT_NEAR(list.At(0).thumbnail.at<cv::Vec3b>(75, 75)[0], 200, 2);
    EXPECT_EQ(out.added, 1);
}

TEST_F(Recognition, AnotherPersonRestartsTheCountAndReportsTheChange) {
    const uint32_t s = NewSubject();
    for (int i = 0; i < 3; ++i) Handle(Result(s, 1, 0.2f));
    ASSERT_TRUE(tracker.Find(s)->recognized);
    Handle(Result(s, 2, 0.3f));
    EXPECT_EQ(out.changed, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 2}}));
    const Subject& subject = *tracker.Find(s);
    EXPECT_FALSE(subject.recognized);
    EXPECT_EQ(subject.sureHits, 1u);
    EXPECT_EQ(subject.listEntry.item, nullptr);
    EXPECT_EQ(subject.person.listNumber, 1u);
    EXPECT_EQ(out.labels.back(), QStringLiteral("70.0%   Пётр"));
    Handle(Result(s, 2, 0.3f));
    Handle(Result(s, 2, 0.3f));
    EXPECT_EQ(out.recognized.size(), 2u);
    EXPECT_EQ(out.journal.back(),
              (std::pair<shell::RecognitionIcon, QString>{shell::RecognitionIcon::BlackList,
                                                          QStringLiteral("Распознан: 70.0% - Петров Иван (Пётр)")}));
}

TEST_F(Recognition, ARememberedPersonIsReportedToManagementOnlyUntilItExpires) {
    rules.repeatForRecognition = 1;
    Handle(Result(NewSubject(), 1, 0.2f));
    Handle(Result(NewSubject(), 1, 0.2f));
    EXPECT_EQ(out.recognized.size(), 2u);
    EXPECT_EQ(out.added, 1);
    EXPECT_EQ(out.actions.size(), 1u);
    EXPECT_EQ(out.journal.size(), 1u);

    remembered.Expire(now + 9.9 * 60 * kSecond, 10);
    EXPECT_EQ(remembered.Size(), 1u);
    remembered.Expire(now + 10 * 60 * kSecond, 10);
    EXPECT_EQ(remembered.Size(), 0u);
    Handle(Result(NewSubject(), 1, 0.2f));
    EXPECT_EQ(out.added, 2);
}

TEST_F(Recognition, APendingResultForAVanishedSubjectIsAnnouncedWhenItCompletesTheCount) {
    auto completes = Result(999, 1, 0.2f);
    completes->personIdAtHandOver = 1;
    completes->countAtHandOver = 2;
    auto short_of_it = Result(998, 1, 0.2f);
    short_of_it->personIdAtHandOver = 1;
    short_of_it->countAtHandOver = 1;
    auto other_person = Result(997, 1, 0.2f);
    other_person->personIdAtHandOver = 2;
    other_person->countAtHandOver = 2;
    Handle(std::move(short_of_it));
    Handle(std::move(other_person));
    EXPECT_TRUE(out.recognized.empty());
    Handle(std::move(completes));
    EXPECT_EQ(out.recognized, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 3}}));
    EXPECT_EQ(out.added, 1);

    // Remembered now: not even the management event.
    auto again = Result(996, 1, 0.2f);
    again->personIdAtHandOver = 1;
    again->countAtHandOver = 2;
    Handle(std::move(again));
    EXPECT_EQ(out.recognized.size(), 1u);
}

TEST_F(Recognition, TheListKeepsTheNewest256AndForgetsEntriesThatFellOff) {
    rules.repeatForRecognition = 1;
    const uint32_t first = NewSubject();
    Handle(Result(first, 1, 0.2f));
    const RecognizedEntryRef oldest = RecognizedPersonsList::RefOf(list.At(0));
    for (uint32_t person = 100; person < 100 + 256; ++person) {
        auto r = Result(5000 + person, person, 0.2f);
        Handle(std::move(r));
    }
    EXPECT_EQ(list.Size(), 256u);
    // Entries freed at the front may be made again at the same address.
    EXPECT_EQ(list.Find(oldest), nullptr);
    EXPECT_EQ(list.At(0).personId, 355u);
    EXPECT_EQ(list.At(255).personId, 100u);
    // The subject's better picture now finds its entry gone.
    Handle(Result(first, 1, 0.1f));
    EXPECT_EQ(tracker.Find(first)->listEntry.item, nullptr);
    EXPECT_EQ(out.entryChanged, 0);
}

}  // namespace
