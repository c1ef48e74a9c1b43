// The user-interface thread's share of a recognition's actions, against copying the face chip
// once (the cheapest thing that handles the picture): the recognized-person event with sound,
// speech, CSV, script and mail configured, the unrecognized-person event with 30 frames of
// 1280x720, and the time from the recognized-person event to its CSV line on disk.

#include "app/actions/action_queue.h"
#include "app/actions/recognition_actions.h"
#include "app/recognition/subject_tracker.h"
#include "platform/fixedtext.h"
#include "settings/settings_hub.h"

#include <opencv2/core.hpp>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct QuietAlerts : actions::AlertOutputs {
    bool SoundAvailable() const override { return true; }
    bool SpeechAvailable() const override { return true; }
    void PlayAlertSound(const QString&) override {}
    void PlayAlertSound(actions::BuiltInSound) override {}
    void SpeakAlertText(const QString&) override {}
};

// Worker threads that do nothing: the bench measures the program's side, not a script or a mail.
struct IdleWorkers : actions::ActionWorkers {
    bool StartScriptWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& c) override {
        return actions::StartWorkerThread(QStringLiteral("VeloxThreadFunc"), item, c,
                                          [](actions::ActionItem&, platform::Event&) {});
    }
    bool StartMailWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& c) override {
        return actions::StartWorkerThread(QStringLiteral("SendMailThreadFunc"), item, c,
                                          [](actions::ActionItem&, platform::Event&) {});
    }
};

struct Silent : recognition::TrackingEvents {
    void FaceDetected(const recognition::Subject&, const cv::Mat&) override {}
    void UnrecognizedSubjectVanished(const recognition::Subject&, double) override {}
    void PresenceEnded(const recognition::Subject&, double) override {}
};

// Median microseconds of `runs` calls.
double MedianMicros(int runs, const std::function<void()>& call, const std::function<void()>& between = {}) {
    std::vector<double> us;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        call();
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (between) between();
    }
    std::sort(us.begin(), us.end());
    return us[us.size() / 2];
}

settings::SettingsState Configured(const QString& csvFolder) {
    settings::SettingsState s;
    platform::CopyToFixed(s.csvFormat.Folder, csvFolder);
    s.csvFormat.Encode = 1;
    for (settings::AlertSettings& a : s.alerts.Items) {
        a = settings::AlertSettings{};
        a.PlayWav = 1;
        platform::CopyToFixed(a.Speech, u"Внимание! %ФИО%, вероятность %ВЕР%");
        a.CSV = 1;
        a.Script = 1;
        platform::CopyToFixed(a.ScriptFile, u"/opt/scripts/alert.vbs");
        a.SendMail = 1;
        platform::CopyToFixed(a.Recepients, u"guard@example.org");
        platform::CopyToFixed(a.SubjectFormat, u"%ФИО% на камере %КАМЕРА%");
        platform::CopyToFixed(a.BodyFormat, u"%ДАТА% %ВРЕМЯ%\r\nКамера: %КАМЕРА%\r\n%ФИО% (%ВЕР%)");
    }
    s.upActions.Script = 1;
    platform::CopyToFixed(s.upActions.ScriptFile, u"/opt/scripts/unknown.vbs");
    s.upActions.SendMail = 1;
    platform::CopyToFixed(s.upActions.SubjectFormat, u"Неизвестный на камере %КАМЕРА%");
    platform::CopyToFixed(s.upActions.BodyFormat, u"%ДАТА% %ВРЕМЯ% %ДЛИТ%");
    platform::CopyToFixed(s.smtp.SMTPServer, u"mail.example.org");
    platform::CopyToFixed(s.smtp.Originator, u"camera@example.org");
    return s;
}

}  // namespace

int main() {
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("tmp"));
    qputenv("TMPDIR", QFile::encodeName(root.filePath(QStringLiteral("tmp"))));
    const QString csvFile = root.filePath(QStringLiteral("Recgnzd0.txt"));
    const settings::SettingsHub hub(Configured(root.path()));

    const shell::Journal journal;  // no sink: the workers' entries are dropped
    IdleWorkers workers;
    actions::RecognitionLog csvLog(hub);
    actions::ActionQueue queue(journal, workers, csvLog);
    platform::Event term(true, false);
    queue.StartThread(term);
    QuietAlerts alerts;
    actions::RecognitionActions actions(queue, alerts, hub,
                                        [](const settings::SettingsState&) { return QStringLiteral("Проходная 1"); });

    cv::Mat chip(150, 150, CV_8UC3);
    cv::randu(chip, 0, 255);
    actions::RecognizedPersonInfo person;
    person.personId = 42;
    person.person.listNumber = 1;
    platform::CopyToFixed(person.person.surname, u"Петров");
    platform::CopyToFixed(person.person.forename, u"Иван");
    platform::CopyToFixed(person.person.secondName, u"Сергеевич");
    person.distance = 0.3f;
    person.picture = &chip;

    const auto settle = [&] {
        while (queue.QueuedCount() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    cv::Mat copy;
    const double baseline = MedianMicros(2000, [&] { copy = chip.clone(); });
    const double recognized = MedianMicros(
        200, [&] { actions.DoRecognizedPersonAlertsAndActions(person); }, settle);

    // Event to line on disk: the file grows by the line.
    const double toDisk = MedianMicros(
        50,
        [&] {
            const qint64 before = QFileInfo(csvFile).size();
            actions.DoRecognizedPersonAlertsAndActions(person);
            while (QFileInfo(csvFile).size() == before) std::this_thread::yield();
        },
        settle);

    Silent silent;
    recognition::SubjectTracker tracker(silent);
    recognition::FrameHistory history;
    cv::Mat frame(720, 1280, CV_8UC3);
    cv::randu(frame, 0, 255);
    double now = 46000;
    for (int i = 0; i < recognition::FrameHistory::kSlots; ++i) {
        now += 1.0 / 86400;
        tracker.Track(std::vector<recognition::FrameFace>{{600, 300, 120, 120}}, frame, now, {1280, 720, 1280, 720});
        history.Push(frame, now, tracker, true, recognition::HistoryPictures::Wanted);
    }
    const recognition::Subject& subject = *tracker.Subjects().front();
    const double unrecognized = MedianMicros(
        10, [&] { actions.HandleUnrecognizedPersonEvent(subject, now, history); }, settle);

    term.Set();
    queue.WaitForThread();
    queue.ClearActionQueue();
    const int left = int(QDir(root.filePath(QStringLiteral("tmp"))).entryList(QDir::Files).size());

    std::printf("baseline: clone of the 150x150 face chip, median %.1f us\n", baseline);
    std::printf("DoRecognizedPersonAlertsAndActions (sound, speech, CSV, script, mail): %.0fx baseline (%.3f ms)\n",
                recognized / baseline, recognized / 1000);
    std::printf("recognized-person event to its CSV line on disk: %.0fx baseline (%.3f ms)\n", toDisk / baseline,
                toDisk / 1000);
    std::printf("HandleUnrecognizedPersonEvent, 30 frames 1280x720: %.0fx baseline (%.3f ms)\n",
                unrecognized / baseline, unrecognized / 1000);
    std::printf("temporary files left after shutdown: %d\n", left);
    return left == 0 ? 0 : 1;
}
