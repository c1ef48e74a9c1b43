// The recognition events: which record of the alert settings each action takes, what the
// immediate alerts play and say, which actions are built, the frames an unrecognized person is
// shown in, and a burst of recognitions against the queue's limit.

#include "app/actions/recognition_actions.h"
#include "app/recognition/subject_tracker.h"
#include "platform/fixedtext.h"
#include "queue_test_support.h"

#include <opencv2/imgcodecs.hpp>

#include <QFileInfo>

namespace {

using actions::ActionItem;
using actions::ActionType;
using actions::BuiltInSound;
using queuetest::WaitUntil;

constexpr double kSecond = 1.0 / 86400.0;

settings::AlertSettings& Alert(int index) { return settings::g_Settings().alerts.Items[index]; }
constexpr int kAllLists = 0;
constexpr int kRedList = 2;  // record of list 1

void CompleteMail(settings::AlertSettings& record) {
    record.SendMail = 1;
    platform::CopyToFixed(record.SubjectFormat, u"Тема");
    platform::CopyToFixed(record.BodyFormat, u"Текст");
}

void SmtpServer(const char16_t* defaultRecipients) {
    settings::SmtpSettings& smtp = settings::g_Settings().smtp;
    platform::CopyToFixed(smtp.SMTPServer, u"mail.example.org");
    platform::CopyToFixed(smtp.Originator, u"camera@example.org");
    platform::CopyToFixed(smtp.Recepients, defaultRecipients);
}

class Recognitions : public queuetest::PrivateFolders {
protected:
    void SetUp() override {
        queuetest::PrivateFolders::SetUp();
        person.personId = 12;
        person.person.listNumber = 1;
        platform::CopyToFixed(person.person.surname, u"Петров");
        platform::CopyToFixed(person.person.forename, u"Иван");
        person.distance = 0.25f;
        person.picture = &chip;
    }
    void TearDown() override {
        term.Set();
        workers.FinishAll();
        queue.WaitForThread();
        queue.ClearActionQueue();
        queuetest::PrivateFolders::TearDown();
    }
    // Runs the queue until every item was written or taken by a worker.
    void Drain() {
        if (!running_) {
            ASSERT_TRUE(queue.StartThread(term));
            running_ = true;
        }
        ASSERT_TRUE(WaitUntil([&] { return queue.QueuedCount() == 0; }));
    }
    std::vector<ActionType> Started() const {
        std::vector<ActionType> types;
        workers.Inspect([&](const auto& held) {
            for (const auto& h : held) types.push_back(h.item->type);
        });
        return types;
    }

    cv::Mat chip = cv::Mat(150, 150, CV_8UC3, cv::Scalar(10, 200, 30));
    actions::RecognizedPersonInfo person;
    queuetest::ActionsTab tab;
    shell::Journal journal{&tab};
    queuetest::HeldWorkers workers;
    actions::ActionQueue queue{journal, workers};
    platform::Event term{true, false};
    queuetest::RecordingAlerts alerts;
    actions::RecognitionActions actions{queue, alerts, [] { return QStringLiteral("Вход"); }};

private:
    bool running_ = false;
};

TEST_F(Recognitions, SoundTakesTheListsOwnChoiceElseTheOneForAllLists) {
    using Played = std::variant<QString, BuiltInSound>;
    struct Case {
        int listPlay;
        const char16_t* listFile;
        int allPlay;
        const char16_t* allFile;
        std::vector<Played> expected;
    };
    const std::vector<Case> cases = {
        {0, u"", 1, u"", {BuiltInSound::AllLists}},
        {0, u"/s/red.wav", 1, u"/s/all.wav", {QStringLiteral("/s/all.wav")}},
        {1, u"", 1, u"/s/all.wav", {BuiltInSound::RedList}},
        {1, u"/s/red.wav", 1, u"/s/all.wav", {QStringLiteral("/s/red.wav")}},
        {0, u"/s/red.wav", 0, u"/s/all.wav", {}},
    };
    for (const Case& c : cases) {
        Alert(kRedList).PlayWav = c.listPlay;
        platform::CopyToFixed(Alert(kRedList).WavFile, c.listFile);
        Alert(kAllLists).PlayWav = c.allPlay;
        platform::CopyToFixed(Alert(kAllLists).WavFile, c.allFile);
        alerts.sounds.clear();
        actions.DoRecognizedPersonAlertsAndActions(person);
        EXPECT_EQ(alerts.sounds, c.expected) << "list " << c.listPlay << ", all " << c.allPlay;
    }
    person.person.listNumber = 0;
    Alert(1).PlayWav = 1;
    alerts.sounds.clear();
    actions.DoRecognizedPersonAlertsAndActions(person);
    EXPECT_EQ(alerts.sounds, std::vector<Played>{BuiltInSound::GreenList});
    alerts.sound = false;
    alerts.sounds.clear();
    actions.DoRecognizedPersonAlertsAndActions(person);
    EXPECT_TRUE(alerts.sounds.empty());
}

TEST_F(Recognitions, APersonalTextIsSpokenVerbatimBeforeAnyTemplate) {
    platform::CopyToFixed(Alert(kRedList).Speech, u"Внимание, %Ф%");
    platform::CopyToFixed(Alert(kAllLists).Speech, u"Для всех");
    platform::CopyToFixed(person.person.speech, u"Здравствуйте, %Ф% <emph>сейчас</emph>");
    actions.DoRecognizedPersonAlertsAndActions(person);
    person.person.speech[0] = u'\0';
    actions.DoRecognizedPersonAlertsAndActions(person);
    Alert(kRedList).Speech[0] = u'\0';
    actions.DoRecognizedPersonAlertsAndActions(person);
    ASSERT_EQ(alerts.spoken.size(), 3);
    EXPECT_EQ(alerts.spoken[0], QStringLiteral("Здравствуйте, %Ф% <emph>сейчас</emph>"));
    EXPECT_EQ(alerts.spoken[1], QStringLiteral("Внимание, Петров"));
    EXPECT_EQ(alerts.spoken[2], QStringLiteral("Для всех"));

    alerts.speech = false;
    actions.DoRecognizedPersonAlertsAndActions(person);
    EXPECT_EQ(alerts.spoken.size(), 3);
}

TEST_F(Recognitions, TheCsvLineIsWrittenWhenEitherRecordAsksForIt) {
    actions.DoRecognizedPersonAlertsAndActions(person);  // neither
    Alert(kAllLists).CSV = 1;
    actions.DoRecognizedPersonAlertsAndActions(person);
    Alert(kAllLists).CSV = 0;
    Alert(kRedList).CSV = 1;
    actions.DoRecognizedPersonAlertsAndActions(person);
    // A list number the settings have no record for uses the record for all lists alone.
    person.person.listNumber = 7;
    actions.DoRecognizedPersonAlertsAndActions(person);
    Alert(kAllLists).CSV = 1;
    actions.DoRecognizedPersonAlertsAndActions(person);
    Drain();
    const QStringList lines = CsvLines();
    ASSERT_EQ(lines.size(), 3) << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Петров")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Вход")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("75")));  // (1 - 0.25) x 100
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(LogCount(QStringLiteral("Выполнение действий для события персона распознана")), 5);
}

TEST_F(Recognitions, TheScriptTakesTheFirstRecordWithAFileAndGetsTheFaceInItsFormat) {
    Alert(kRedList).Script = 1;  // no file: not chosen
    Alert(kAllLists).Script = 1;
    Alert(kAllLists).ScriptType = 1;
    platform::CopyToFixed(Alert(kAllLists).ScriptFile, u"/scripts/all.js");
    settings::g_Settings().scriptRecognized.ImgFileFormat = 1;
    settings::g_Settings().scriptRecognized.Timeout = 30;
    actions.DoRecognizedPersonAlertsAndActions(person);
    Drain();
    workers.Inspect([&](const std::vector<queuetest::HeldWorkers::Held>& held) {
        ASSERT_EQ(held.size(), 1u);
        ASSERT_EQ(held[0].item->type, ActionType::RecognizedScript);
        const auto& request = std::get<actions::ScriptRequest>(held[0].item->payload);
        EXPECT_EQ(platform::FromFixed(request.head.scriptFile), QStringLiteral("/scripts/all.js"));
        EXPECT_EQ(request.head.scriptType, 1);
        EXPECT_EQ(request.head.timeout, 30);
        EXPECT_EQ(platform::FromFixed(request.head.eventName), QStringLiteral("RecognizedPerson"));
        EXPECT_EQ(platform::FromFixed(request.head.cameraName), QStringLiteral("Вход"));
        const auto& form = std::get<actions::RecognizedScriptForm>(request.form);
        EXPECT_EQ(form.personId, 12u);
        EXPECT_DOUBLE_EQ(form.confidence, 75.0);
        const QString image = platform::FromFixed(form.imageFile);
        EXPECT_TRUE(image.endsWith(u".png"));
        const cv::Mat back = cv::imread(QFile::encodeName(image).toStdString());
        EXPECT_EQ(cv::norm(back, chip, cv::NORM_INF), 0.0);
    });
    workers.FinishAll();
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(Recognitions, AListsIncompleteMailIsNotReplacedByTheOneForAllLists) {
    SmtpServer(u"guard@example.org");
    CompleteMail(Alert(kAllLists));
    CompleteMail(Alert(kRedList));
    Alert(kRedList).SubjectFormat[0] = u'\0';
    actions.DoRecognizedPersonAlertsAndActions(person);
    Drain();
    EXPECT_TRUE(Started().empty());

    // Once the list leaves mail off, the record for all lists sends, to the default recipients.
    Alert(kRedList).SendMail = 0;
    actions.DoRecognizedPersonAlertsAndActions(person);
    Drain();
    workers.Inspect([&](const std::vector<queuetest::HeldWorkers::Held>& held) {
        ASSERT_EQ(held.size(), 1u);
        ASSERT_EQ(held[0].item->type, ActionType::RecognizedMail);
        const auto& mail = std::get<actions::MailRequest>(held[0].item->payload);
        EXPECT_EQ(platform::FromFixed(mail.smtp.Recepients), QStringLiteral("guard@example.org"));
        EXPECT_EQ(mail.subject, QStringLiteral("Тема"));
        ASSERT_EQ(mail.attachments.size(), 1);
        EXPECT_TRUE(mail.attachments[0].endsWith(u".jpg"));
        EXPECT_TRUE(QFileInfo::exists(mail.attachments[0]));
    });

    // Without any recipients there is no mail.
    settings::g_Settings().smtp.Recepients[0] = u'\0';
    actions.DoRecognizedPersonAlertsAndActions(person);
    Drain();
    EXPECT_EQ(Started().size(), 1u);
}

// An unrecognized subject tracked over a few history snapshots.
class Unrecognized : public Recognitions {
protected:
    struct Silent : recognition::TrackingEvents {
        void FaceDetected(const recognition::Subject&, const cv::Mat&) override {}
        void UnrecognizedSubjectVanished(const recognition::Subject&, double) override {}
        void PresenceEnded(const recognition::Subject&, double) override {}
    };
    void SetUp() override {
        Recognitions::SetUp();
        auto& up = settings::g_Settings().upActions;
        up.Script = 1;
        platform::CopyToFixed(up.ScriptFile, u"/scripts/up.vbs");
        settings::g_Settings().scriptUnrecognized.ImgFileFormat = 1;  // PNG: pixels come back exactly
        up.SendMail = 1;
        platform::CopyToFixed(up.SubjectFormat, u"Неизвестный");
        platform::CopyToFixed(up.BodyFormat, u"Текст");
        SmtpServer(u"");
        platform::CopyToFixed(up.Recepients, u"guard@example.org");
    }
    // Pushes one snapshot whose pixels all hold `value`; with `face` the subject is in it.
    void Snapshot(int value, bool face) {
        now += kSecond;
        cv::Mat frame(120, 160, CV_8UC3, cv::Scalar(value, value, value));
        if (face) tracker.Track(std::vector<recognition::FrameFace>{kFace}, frame, now, display);
        history.Push(frame, now, tracker, face);
    }
    const recognition::Subject& Subject() const { return *tracker.Subjects().front(); }
    std::vector<int> ScriptPictureValues() const {
        std::vector<int> values;
        workers.Inspect([&](const auto& held) {
            for (const auto& h : held) {
                if (h.item->type != ActionType::UnrecognizedScript) continue;
                const auto& form =
                    std::get<actions::UnrecognizedScriptForm>(std::get<actions::ScriptRequest>(h.item->payload).form);
                for (uint32_t i = 0; i < form.imageCount; ++i) {
                    EXPECT_EQ(form.rectangles[i], kFace);
                    const cv::Mat back =
                        cv::imread(QFile::encodeName(platform::FromFixed(form.imageFiles[i])).toStdString());
                    values.push_back(back.empty() ? -1 : back.at<cv::Vec3b>(0, 0)[0]);
                }
            }
        });
        return values;
    }

    static constexpr recognition::FrameFace kFace{50, 40, 30, 30};
    Silent silent;
    recognition::SubjectTracker tracker{silent};
    recognition::FrameHistory history;
    recognition::DisplayGeometry display{160, 120, 160, 120};
    double now = 46000.0;
};

TEST_F(Unrecognized, TheSnapshotsFromTailToBeforeHeadGoToTheScriptAndTheMail) {
    Snapshot(10, true);
    Snapshot(20, false);
    Snapshot(30, true);
    Snapshot(40, true);  // the head: not searched
    actions.HandleUnrecognizedPersonEvent(Subject(), now + kSecond, history);
    Drain();
    EXPECT_EQ(Started(), (std::vector<ActionType>{ActionType::UnrecognizedScript, ActionType::UnrecognizedMail}));
    EXPECT_EQ(ScriptPictureValues(), (std::vector<int>{10, 30}));
    workers.Inspect([&](const auto& held) {
        const auto& mail = std::get<actions::MailRequest>(held[1].item->payload);
        EXPECT_EQ(mail.attachments.size(), 2);
        EXPECT_EQ(platform::FromFixed(mail.smtp.Recepients), QStringLiteral("guard@example.org"));
        EXPECT_EQ(mail.subject, QStringLiteral("Неизвестный"));
    });
    EXPECT_EQ(TempFiles().size(), 4);
    workers.FinishAll();
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(Unrecognized, AtMostThirtySnapshotsAndTheOldestFirst) {
    for (int i = 1; i <= 40; ++i) Snapshot(i, true);
    actions.HandleUnrecognizedPersonEvent(Subject(), now, history);
    Drain();
    std::vector<int> expected;
    for (int i = 10; i < 40; ++i) expected.push_back(i);  // the ring keeps 31; the newest is left out
    EXPECT_EQ(ScriptPictureValues(), expected);
}

TEST_F(Unrecognized, ASubjectInNoSnapshotOnlyLogsTheEvent) {
    Snapshot(10, false);
    Snapshot(20, false);
    Snapshot(30, true);  // the subject appears only in the head
    actions.HandleUnrecognizedPersonEvent(Subject(), now, history);
    Drain();
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(LogCount(QStringLiteral("Выполнение действий для события нераспознанной персоны")), 1);
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(Unrecognized, WithoutRecipientsOnlyTheScriptRuns) {
    settings::g_Settings().upActions.Recepients[0] = u'\0';
    Snapshot(10, true);
    Snapshot(20, true);
    actions.HandleUnrecognizedPersonEvent(Subject(), now, history);
    Drain();
    EXPECT_EQ(Started(), std::vector<ActionType>{ActionType::UnrecognizedScript});

    // With no action wanted at all nothing is even logged.
    settings::g_Settings().upActions.Script = 0;
    actions.HandleUnrecognizedPersonEvent(Subject(), now, history);
    EXPECT_EQ(LogCount(QStringLiteral("Выполнение действий для события нераспознанной персоны")), 1);
}

TEST_F(Recognitions, ABurstHoldsTheLimitReportsTheDropsAndLeavesNoFiles) {
    Alert(kAllLists).CSV = 1;
    Alert(kAllLists).Script = 1;
    platform::CopyToFixed(Alert(kAllLists).ScriptFile, u"/scripts/all.js");
    SmtpServer(u"guard@example.org");
    CompleteMail(Alert(kAllLists));
    // The queue thread is not running yet: nothing drains the queue during the burst.
    for (int i = 0; i < 1000; ++i) actions.DoRecognizedPersonAlertsAndActions(person);
    EXPECT_EQ(queue.QueuedCount(), actions::ActionQueue::kMaxItems);
    EXPECT_EQ(LogCount(QStringLiteral("Warning! Превышена максимальная длина очереди действий. Действие отброшено.")),
              3000 - int(actions::ActionQueue::kMaxItems));
    // 85 recognitions went in whole (255 items), then only the CSV line of the 86th.
    EXPECT_EQ(TempFiles().size(), 170);
    queue.ClearActionQueue();
    EXPECT_TRUE(TempFiles().isEmpty());
}

}  // namespace
