// The recognition events: which record of the alert settings each action takes, what the
// immediate alerts play and say, which actions are built, the frames an unrecognized person is
// shown in, and a burst of recognitions against the queue's limit.

#include "app/actions/recognition_actions.h"
#include "app/recognition/subject_tracker.h"
#include "queue_test_support.h"

#include <opencv2/imgcodecs.hpp>

#include <QFileInfo>

namespace {

using actions::ActionType;
using actions::BuiltInSound;

constexpr double kSecond = 1.0 / 86400.0;
constexpr int kAllLists = 0;
constexpr int kRedList = 2;  // the record of list 1

void CompleteMail(settings::AlertSettings& record) {
    record.SendMail = 1;
    platform::CopyToFixed(record.SubjectFormat, u"Тема");
    platform::CopyToFixed(record.BodyFormat, u"Текст");
}

void FillSmtp(settings::SmtpSettings& smtp, const char16_t* defaultRecipients) {
    platform::CopyToFixed(smtp.SMTPServer, u"mail.example.org");
    platform::CopyToFixed(smtp.Originator, u"camera@example.org");
    platform::CopyToFixed(smtp.Recepients, defaultRecipients);
}

QString Path(const char16_t (&field)[260]) { return platform::FromFixed(field); }
cv::Mat Read(const QString& path, int flags = cv::IMREAD_COLOR) {
    return cv::imread(QFile::encodeName(path).toStdString(), flags);
}

// The test edits `draft`; each event publishes it first, so the actions see every change.
class Recognitions : public queuetest::HeldQueue {
protected:
    void SetUp() override {
        queuetest::HeldQueue::SetUp();
        draft = *hub.Snapshot();
        person.personId = 12;
        person.person.listNumber = 1;
        platform::CopyToFixed(person.person.surname, u"Петров");
        person.distance = 0.25f;
        person.picture = &chip;
    }

    settings::AlertSettings& Alert(int index) { return draft.alerts.Items[index]; }
    void SmtpServer(const char16_t* defaultRecipients) { FillSmtp(draft.smtp, defaultRecipients); }
    void Recognize() {
        hub.Publish(draft);
        actions.DoRecognizedPersonAlertsAndActions(person);
    }

    settings::SettingsState draft;
    cv::Mat chip = cv::Mat(150, 150, CV_8UC3, cv::Scalar(10, 200, 30));
    actions::RecognizedPersonInfo person;
    queuetest::RecordingAlerts alerts;
    actions::RecognitionActions actions{queue, alerts, hub,
                                        [](const settings::SettingsState&) { return QStringLiteral("Вход"); }};
};

TEST_F(Recognitions, SoundTakesTheListsOwnChoiceElseTheOneForAllLists) {
    using Played = std::vector<std::variant<QString, BuiltInSound>>;
    const auto play = [&](int listPlay, int allPlay, const char16_t* allFile) {
        Alert(kRedList).PlayWav = listPlay;
        Alert(kAllLists).PlayWav = allPlay;
        platform::CopyToFixed(Alert(kAllLists).WavFile, allFile);
        alerts.sounds.clear();
        Recognize();
        return alerts.sounds;
    };
    EXPECT_EQ(play(0, 1, u""), Played{BuiltInSound::AllLists});
    EXPECT_EQ(play(0, 1, u"/s/all.wav"), Played{QStringLiteral("/s/all.wav")});
    EXPECT_EQ(play(1, 1, u"/s/all.wav"), Played{BuiltInSound::RedList});
    EXPECT_EQ(play(0, 0, u"/s/all.wav"), Played{});
    platform::CopyToFixed(Alert(kRedList).WavFile, u"/s/red.wav");
    EXPECT_EQ(play(1, 0, u""), Played{QStringLiteral("/s/red.wav")});
    alerts.sound = false;
    EXPECT_EQ(play(1, 1, u""), Played{});
}

TEST_F(Recognitions, APersonalTextIsSpokenVerbatimBeforeAnyTemplate) {
    platform::CopyToFixed(Alert(kRedList).Speech, u"Внимание, %Ф%");
    platform::CopyToFixed(Alert(kAllLists).Speech, u"Для всех");
    platform::CopyToFixed(person.person.speech, u"Здравствуйте, %Ф% <emph>сейчас</emph>");
    Recognize();
    person.person.speech[0] = u'\0';
    Recognize();
    Alert(kRedList).Speech[0] = u'\0';
    Recognize();
    alerts.speech = false;
    Recognize();
    EXPECT_EQ(alerts.spoken, (QStringList{QStringLiteral("Здравствуйте, %Ф% <emph>сейчас</emph>"),
                                          QStringLiteral("Внимание, Петров"), QStringLiteral("Для всех")}));
}

TEST_F(Recognitions, TheCsvLineIsWrittenWhenEitherRecordAsksForIt) {
    Recognize();  // neither
    Alert(kAllLists).CSV = 1;
    Recognize();
    Alert(kAllLists).CSV = 0;
    Alert(kRedList).CSV = 1;
    Recognize();
    // A list number without a record of its own uses the record for all lists alone.
    person.person.listNumber = 7;
    Recognize();
    Drain();
    const QStringList lines = CsvLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Петров")) && lines[0].contains(QStringLiteral("Вход")));
    EXPECT_TRUE(Started().empty());
}

TEST_F(Recognitions, TheScriptTakesTheFirstRecordWithAFileAndGetsTheFaceInItsFormat) {
    Alert(kRedList).Script = 1;  // no file: not chosen
    Alert(kAllLists).Script = 1;
    Alert(kAllLists).ScriptType = 1;
    platform::CopyToFixed(Alert(kAllLists).ScriptFile, u"/scripts/all.js");
    draft.scriptRecognized.ImgFileFormat = 1;
    draft.scriptRecognized.Timeout = 30;
    Recognize();
    Drain();
    ASSERT_EQ(Started(), std::vector<ActionType>{ActionType::RecognizedScript});
    const auto request = Held<actions::ScriptRequest>(0);
    EXPECT_EQ(platform::FromFixed(request.head.scriptFile), QStringLiteral("/scripts/all.js"));
    EXPECT_EQ(QStringList({platform::FromFixed(request.head.eventName), platform::FromFixed(request.head.cameraName)}),
              QStringList({QStringLiteral("RecognizedPerson"), QStringLiteral("Вход")}));
    EXPECT_EQ(std::tuple(request.head.scriptType, request.head.timeout), std::tuple(1, 30));
    const auto& form = std::get<actions::RecognizedScriptForm>(request.form);
    EXPECT_DOUBLE_EQ(form.confidence, 75.0);
    EXPECT_TRUE(Path(form.imageFile).endsWith(u".png"));
    EXPECT_EQ(cv::norm(Read(Path(form.imageFile)), chip, cv::NORM_INF), 0.0);
    workers.FinishAll();
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(Recognitions, AListsIncompleteMailIsNotReplacedByTheOneForAllLists) {
    SmtpServer(u"guard@example.org");
    CompleteMail(Alert(kAllLists));
    CompleteMail(Alert(kRedList));
    Alert(kRedList).SubjectFormat[0] = u'\0';
    Recognize();
    // Once the list leaves mail off, the record for all lists sends, to the default recipients.
    Alert(kRedList).SendMail = 0;
    Recognize();
    // Without any recipients there is no mail.
    draft.smtp.Recepients[0] = u'\0';
    Recognize();
    Drain();
    ASSERT_EQ(Started(), std::vector<ActionType>{ActionType::RecognizedMail});
    const auto mail = Held<actions::MailRequest>(0);
    EXPECT_EQ(platform::FromFixed(mail.smtp.Recepients), QStringLiteral("guard@example.org"));
    EXPECT_EQ(mail.subject, QStringLiteral("Тема"));
    ASSERT_EQ(mail.attachments.size(), 1);
    EXPECT_TRUE(mail.attachments[0].endsWith(u".jpg") && QFileInfo::exists(mail.attachments[0]));
}

TEST_F(Recognitions, ABurstHoldsTheLimitReportsTheDropsAndLeavesNoFiles) {
    Alert(kAllLists).CSV = 1;
    Alert(kAllLists).Script = 1;
    platform::CopyToFixed(Alert(kAllLists).ScriptFile, u"/scripts/all.js");
    SmtpServer(u"guard@example.org");
    CompleteMail(Alert(kAllLists));
    // The queue thread is not running yet: nothing drains the queue during the burst.
    for (int i = 0; i < 1000; ++i) Recognize();
    EXPECT_EQ(queue.QueuedCount(), actions::ActionQueue::kMaxItems);
    EXPECT_EQ(LogCount(queuetest::kQueueFull), 3000 - int(actions::ActionQueue::kMaxItems));
    // The faces of the 85 recognitions that went in whole wait in memory for the queue thread.
    EXPECT_TRUE(TempFiles().isEmpty());
    queue.ClearActionQueue();
    EXPECT_TRUE(TempFiles().isEmpty());
}

// An unrecognized subject tracked over history snapshots.
class Unrecognized : public Recognitions {
protected:
    struct Silent : recognition::TrackingEvents {
        void FaceDetected(const recognition::Subject&, const cv::Mat&) override {}
        void UnrecognizedSubjectVanished(const recognition::Subject&, double) override {}
        void PresenceEnded(const recognition::Subject&, double) override {}
    };
    void SetUp() override {
        Recognitions::SetUp();
        auto& up = draft.upActions;
        up.Script = 1;
        platform::CopyToFixed(up.ScriptFile, u"/scripts/up.vbs");
        draft.scriptUnrecognized.ImgFileFormat = 1;  // PNG: pixels come back exactly
        up.SendMail = 1;
        platform::CopyToFixed(up.SubjectFormat, u"Неизвестный");
        platform::CopyToFixed(up.BodyFormat, u"Текст");
        SmtpServer(u"");
        platform::CopyToFixed(up.Recepients, u"guard@example.org");
    }
    // One snapshot whose pixels all hold `value`; with `face` the subject is in it.
    void Snapshot(int value, bool face) {
        now += kSecond;
        cv::Mat frame(120, 160, CV_8UC3, cv::Scalar::all(value));
        if (face) tracker.Track(std::vector<recognition::FrameFace>{kFace}, frame, now, {160, 120, 160, 120});
        history.Push(frame, now, tracker, face, recognition::HistoryPictures::Wanted);
    }
    void Vanish() {
        hub.Publish(draft);
        actions.HandleUnrecognizedPersonEvent(*tracker.Subjects().front(), now, history);
        Drain();
    }
    // The value of each picture of the script, checking its rectangle.
    std::vector<int> ScriptPictures() const {
        const auto form = std::get<actions::UnrecognizedScriptForm>(Held<actions::ScriptRequest>(0).form);
        std::vector<int> values;
        for (uint32_t i = 0; i < form.imageCount; ++i) {
            EXPECT_EQ(form.rectangles[i], kFace);
            values.push_back(Read(Path(form.imageFiles[i])).at<cv::Vec3b>(0, 0)[0]);
        }
        return values;
    }

    static constexpr recognition::FrameFace kFace{40, 30, 40, 40};
    Silent silent;
    recognition::SubjectTracker tracker{silent};
    recognition::FrameHistory history;
    double now = 46000.0;
};

TEST_F(Unrecognized, TheSnapshotsFromTailToBeforeHeadGoToTheScriptAndFramedToTheMail) {
    Snapshot(10, true);
    Snapshot(20, false);
    Snapshot(30, true);
    Snapshot(40, true);  // the head: not searched
    Vanish();
    ASSERT_EQ(Started(), (std::vector<ActionType>{ActionType::UnrecognizedScript, ActionType::UnrecognizedMail}));
    EXPECT_EQ(ScriptPictures(), (std::vector<int>{10, 30}));
    const auto mail = Held<actions::MailRequest>(1);
    EXPECT_EQ(mail.subject, QStringLiteral("Неизвестный"));
    ASSERT_EQ(mail.attachments.size(), 2);
    // The face grown to {34, 24, 52, 52}: its edges white, the face's own edge and inside untouched.
    const cv::Mat framed = Read(mail.attachments[1], cv::IMREAD_GRAYSCALE);
    EXPECT_GT(framed.at<uchar>(50, 34), 200);
    EXPECT_GT(framed.at<uchar>(24, 60), 200);
    EXPECT_GT(framed.at<uchar>(75, 85), 200);
    EXPECT_NEAR(framed.at<uchar>(50, 40), 30, 8);
    EXPECT_NEAR(framed.at<uchar>(50, 60), 30, 8);
    EXPECT_EQ(TempFiles().size(), 4);
    workers.FinishAll();
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(Unrecognized, AtMostThirtySnapshotsOldestFirst) {
    for (int i = 1; i <= 40; ++i) Snapshot(i, true);
    Vanish();
    std::vector<int> expected;
    for (int i = 10; i < 40; ++i) expected.push_back(i);  // the ring holds 31; the newest is left out
    EXPECT_EQ(ScriptPictures(), expected);
}

TEST_F(Unrecognized, NoSightingMeansNoActionAndNoRecipientsNoMail) {
    const QString logged = QStringLiteral("Выполнение действий для события нераспознанной персоны");
    Snapshot(10, false);
    Snapshot(20, true);  // only in the head
    Vanish();
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(LogCount(logged), 1);

    draft.upActions.Recepients[0] = u'\0';
    Snapshot(30, true);
    Vanish();
    EXPECT_EQ(Started(), std::vector<ActionType>{ActionType::UnrecognizedScript});

    draft.upActions.Script = 0;  // nothing wanted: not even logged
    Vanish();
    EXPECT_EQ(LogCount(logged), 2);
}

}  // namespace
