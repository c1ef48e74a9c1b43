// The live view driven as the program drives it, without any window: frames on the tick,
// workers' results and state requests posted from other threads, a surface that only records.

#include "app/viewport/live_view.h"

#include "app/recognition/recognized_data_event.h"
#include "app/recognition/state_request.h"
#include "platform/fixedtext.h"
#include "tests/support/worker_result.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <opencv2/core.hpp>

#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

using recognition::FrameFace;
using recognition::LabelPoint;

constexpr double kSecond = 1.0 / 86400.0;

struct Surface : viewport::LiveSurface {
    struct Label {
        QString text;
        LabelPoint position;
        bool visible = false;
    };
    void ShowFaceCount(int faces) override { counts.push_back(faces); }
    void LayOutAgain(int columns, int rows) override { displayed = {columns / 2, rows / 2}; }
    cv::Size DisplayedSize() const override { return displayed; }
    void ShowPicture(const cv::Mat& picture) override { shown = picture.size(); }
    void ShowConnectingAnimation() override {}
    LabelPoint PictureOrigin() const override { return {1000, 500}; }
    void MoveLabel(uint32_t id, LabelPoint at) override { labels.at(id).position = at; }
    void SetLabelVisible(uint32_t id, bool visible) override { labels.at(id).visible = visible; }
    void AddLabel(uint32_t id, LabelPoint at) override {
        EXPECT_EQ(labels.count(id), 0u);
        labels[id].position = at;
    }
    void SetLabelText(uint32_t id, const QString& text) override { labels.at(id).text = text; }
    void RemoveLabel(uint32_t id) override { EXPECT_EQ(labels.erase(id), 1u); }
    void RemoveLabels() override { labels.clear(); }

    std::vector<int> counts;
    cv::Size displayed;
    cv::Size shown;
    std::map<uint32_t, Label> labels;
};

struct Services : viewport::ViewportServices {
    void PresenceEnded(const recognition::Subject& s, double) override { ended.push_back(s.id); }
    void PersonRecognized(const recognition::RecognitionReport& r) override { recognized.push_back(r.personId); }
    void PersonUpdated(const recognition::RecognitionReport& r) override { updated.push_back(r.personId); }
    void DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& i) override {
        actions.push_back(i.personId);
    }
    std::vector<uint32_t> ended, recognized, updated, actions;
};

struct Journal : shell::JournalSink {
    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override {
        if (tab == shell::JournalTab::Recognition)
            texts.push_back(entry->eventText + QLatin1Char('|') + entry->description);
        return true;
    }
    std::vector<QString> texts;
};

using testsupport::WorkerResult;

settings::SettingsState Settings() {
    settings::SettingsState s;
    s.recognition.MaxSubject = 8;
    s.recognition.AssuranceDistance = 35;
    s.recognition.RepeatForRecognition = 2;
    s.viewFeatures.FramedFace = 1;
    s.camerasExt.WaitConnectionTime = 60;
    return s;
}

class LiveViewTest : public ::testing::Test {
protected:
    LiveViewTest() {
        work.pCvSream = std::make_unique<camera::CvStream>();
        platform::CopyToFixed(work.descriptor.Name, u"Вход");
        work.opened = 1;
        work.lastActivity = 1000;
        sink.SetReceiver(live.get());
    }
    ~LiveViewTest() override { sink.SetReceiver(nullptr); }

    // A new frame from the capture thread, then one tick.
    void FrameTick(std::vector<FrameFace> faces) {
        nextFaces = std::move(faces);
        {
            std::lock_guard<platform::CriticalSection> lock(work.pCvSream->frameLock);
            work.pCvSream->frame = cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 0));
        }
        work.pCvSream->newFrameEvent.Set();
        ole += 0.3 * kSecond;
        live->Tick();
    }
    // From a worker's thread, then handled on this one.
    void Deliver(std::unique_ptr<recognition::RecognizedData> result) {
        std::thread([&] { EXPECT_TRUE(sink.Deliver(0, std::move(result))); }).join();
        QCoreApplication::processEvents();
    }
    uint32_t OnlySubject() {
        EXPECT_EQ(live->Tracker().Subjects().size(), 1u);
        return live->Tracker().Subjects().empty() ? 0 : live->Tracker().Subjects()[0]->id;
    }
    // From a session's thread; true once answered.
    bool Ask(const std::shared_ptr<recognition::CameraStateRequest>& request) {
        std::thread([&] {
            QCoreApplication::postEvent(live.get(), new recognition::StateRequestEvent(request));
        }).join();
        QCoreApplication::processEvents();
        return request->completed.Wait(0);
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    camera::CameraWork work;
    Surface surface;
    Services services;
    Journal journalSink;
    const shell::Journal journal{&journalSink};
    settings::SettingsHub hub{Settings()};
    recognition::RememberedPersons remembered;
    recognition::RecognizedPersonsList list;
    recognition::PostingRecognizedDataSink sink;
    std::vector<FrameFace> nextFaces;
    std::vector<int> maxSubjects;
    double ole = 45000;
    bool running = true;
    int listAdded = 0;
    int listChanged = 0;
    std::unique_ptr<viewport::LiveView> live = std::make_unique<viewport::LiveView>(
        work, surface, hub, journal, services, remembered, list,
        viewport::LiveViewCalls{[this](const cv::Mat&, int maxSubject) {
                                    maxSubjects.push_back(maxSubject);
                                    return nextFaces;
                                },
                                [](const cv::Mat&, std::span<recognition::DispatchSubject* const>, double) {},
                                {[this] { return ole; }, [] { return int64_t(1001); }},
                                [this] { return running; },
                                [] { return false; },
                                [this] { ++listAdded; },
                                [this] { ++listChanged; }});
};

TEST_F(LiveViewTest, WorkerResultsLabelTheirSubjectAndReachTheListOncePerPerson) {
    FrameTick({{100, 100, 80, 80}});
    const uint32_t id = OnlySubject();

    // One result of two: labelled above the face on the displayed picture, not yet announced.
    Deliver(WorkerResult(id, 7, 0.3f));
    ASSERT_EQ(surface.labels.count(id), 1u);
    EXPECT_EQ(surface.labels[id].text, QStringLiteral("70.0% Иванов Пётр"));
    EXPECT_TRUE(surface.labels[id].visible);
    EXPECT_EQ(surface.labels[id].position.x, 1050);
    EXPECT_EQ(surface.labels[id].position.y, 530);
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_TRUE(services.recognized.empty());

    // The second sure result: announced, listed and journaled once.
    Deliver(WorkerResult(id, 7, 0.3f));
    EXPECT_EQ(services.recognized, std::vector<uint32_t>{7});
    EXPECT_EQ(services.actions, std::vector<uint32_t>{7});
    ASSERT_EQ(list.Size(), 1u);
    EXPECT_EQ(list.At(0).personId, 7u);
    EXPECT_EQ(platform::FromFixed(list.At(0).cameraName), QStringLiteral("Вход"));
    EXPECT_EQ(listAdded, 1);
    EXPECT_EQ(journalSink.texts, std::vector<QString>{QStringLiteral("Распознан|70.0% - Иванов Пётр")});

    // A better picture of the same person updates the label and the entry, announces nothing new.
    Deliver(WorkerResult(id, 7, 0.1f));
    EXPECT_EQ(surface.labels[id].text, QStringLiteral("90.0% Иванов Пётр"));
    EXPECT_EQ(services.updated, std::vector<uint32_t>{7});
    EXPECT_EQ(listChanged, 1);
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(services.actions.size(), 1u);

    // The label follows the face and goes with its subject.
    FrameTick({{140, 100, 80, 80}});
    EXPECT_EQ(surface.labels[id].position.x, 1070);
    FrameTick({});
    EXPECT_TRUE(surface.labels.empty());
    EXPECT_EQ(services.ended, std::vector<uint32_t>{id});
}

TEST_F(LiveViewTest, ResultsAndTicksTakeTheSettingsOfTheirMoment) {
    FrameTick({{100, 100, 80, 80}});
    const uint32_t id = OnlySubject();
    hub.Update([](settings::SettingsState& s) {
        s.recognition.RepeatForRecognition = 1;
        s.recognition.MaxSubject = 3;
    });
    Deliver(WorkerResult(id, 7, 0.3f));
    EXPECT_EQ(services.recognized, std::vector<uint32_t>{7});
    FrameTick({{100, 100, 80, 80}});
    EXPECT_EQ(maxSubjects, (std::vector<int>{8, 3}));
}

TEST_F(LiveViewTest, AStateRequestIsAnsweredFromTheLiveView) {
    FrameTick({{100, 100, 80, 80}, {300, 100, 80, 80}});
    const uint32_t known = live->Tracker().Subjects().back()->id;
    Deliver(WorkerResult(known, 5, 0.25f));

    auto request = std::make_shared<recognition::CameraStateRequest>();
    request->flags = recognition::CameraStateRequest::kWantPicture | recognition::CameraStateRequest::kWantSubjects;
    ASSERT_TRUE(Ask(request));
    EXPECT_EQ(request->cameraRunning, 1);
    EXPECT_EQ(request->picture.size(), cv::Size(640, 480));
    ASSERT_EQ(request->subjects.size(), 1u);
    EXPECT_EQ(request->subjects[0].personId, 5u);
    EXPECT_EQ(request->subjects[0].sureHits, 1u);

    running = false;
    auto idle = std::make_shared<recognition::CameraStateRequest>();
    ASSERT_TRUE(Ask(idle));
    EXPECT_EQ(idle->cameraRunning, 0);

    // Still queued when the live view goes: the session is released all the same.
    auto orphan = std::make_shared<recognition::CameraStateRequest>();
    QCoreApplication::postEvent(live.get(), new recognition::StateRequestEvent(orphan));
    sink.SetReceiver(nullptr);
    live.reset();
    EXPECT_TRUE(orphan->completed.Wait(0));
}

TEST_F(LiveViewTest, AStoppedCameraDiscardsItsSubjectsAndTheirLabels) {
    FrameTick({{100, 100, 80, 80}});
    const uint32_t id = OnlySubject();
    Deliver(WorkerResult(id, 7, 0.3f));
    ASSERT_EQ(surface.labels.size(), 1u);

    live->DiscardSubjects();
    EXPECT_TRUE(surface.labels.empty());
    EXPECT_TRUE(live->Tracker().Subjects().empty());
    EXPECT_TRUE(live->Processor().History().OldestFirst().empty());

    // A result still under way for the old subject labels nothing; the next run counts its
    // faces afresh.
    Deliver(WorkerResult(id, 7, 0.3f));
    EXPECT_TRUE(surface.labels.empty());
    FrameTick({{100, 100, 80, 80}});
    EXPECT_EQ(surface.counts, (std::vector<int>{1, 1}));
    auto request = std::make_shared<recognition::CameraStateRequest>();
    request->flags = recognition::CameraStateRequest::kWantSubjects;
    ASSERT_TRUE(Ask(request));
    EXPECT_TRUE(request->subjects.empty());
}

}  // namespace
