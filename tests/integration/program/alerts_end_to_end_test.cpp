// The whole program in this process with alerts and actions configured: a recognized person gives
// exactly one CSV line, one sound and one spoken text; an unknown face that leaves the view gives
// an unrecognized-person script item whose pictures exist while it runs and are gone afterwards.

#include "app/actions/action_workers.h"
#include "app/actions/alert_devices.h"
#include "platform/fixedtext.h"
#include "tests/integration/actions_audio/monitor_recording.h"
#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/integration/program/switchable_camera.h"
#include "tests/support/enrol_folders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <mutex>

namespace {

using namespace endtoend;

// Counts the alerts the program raises and passes them on to the real outputs; notes where the
// recording was at the first one.
class CountingAlerts final : public actions::AlertOutputs {
public:
    CountingAlerts(actions::AlertOutputs& real, const audio_test::MonitorRecording& recording)
        : real_(real), recording_(recording) {}
    bool SoundAvailable() const override { return real_.SoundAvailable(); }
    bool SpeechAvailable() const override { return real_.SpeechAvailable(); }
    void PlayAlertSound(const QString& wavFile) override {
        files.append(wavFile);
        real_.PlayAlertSound(wavFile);
    }
    void PlayAlertSound(actions::BuiltInSound sound) override {
        builtIn.push_back(sound);
        if (!firstAlert.isValid()) {
            firstAlert.start();
            firstAlertSample = recording_.Now();
        }
        real_.PlayAlertSound(sound);
    }
    void SpeakAlertText(const QString& text) override {
        spoken.append(text);
        real_.SpeakAlertText(text);
    }

    QStringList files;
    std::vector<actions::BuiltInSound> builtIn;
    QStringList spoken;
    QElapsedTimer firstAlert;
    std::int64_t firstAlertSample = -1;

private:
    actions::AlertOutputs& real_;
    const audio_test::MonitorRecording& recording_;
};

// Script workers that look at the pictures of unrecognized-person items while they run.
class RecordingWorkers final : public actions::ActionWorkers {
public:
    struct Seen {
        uint32_t images = 0;
        uint32_t existing = 0;
        QStringList files;
    };

    bool StartScriptWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& context) override {
        return actions::StartWorkerThread(QStringLiteral("VeloxThreadFunc"), item, context,
                                          [this](actions::ActionItem& running, platform::Event&) { Look(running); });
    }
    bool StartMailWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& context) override {
        return actions::StartWorkerThread(QStringLiteral("SendMailThreadFunc"), item, context,
                                          [](actions::ActionItem&, platform::Event&) {});
    }

    std::vector<Seen> Unrecognized() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    void Look(const actions::ActionItem& item) {
        const auto* form =
            std::get_if<actions::UnrecognizedScriptForm>(&std::get<actions::ScriptRequest>(item.payload).form);
        if (form == nullptr) return;
        Seen seen;
        seen.images = form->imageCount;
        for (uint32_t i = 0; i < form->imageCount && i < uint32_t(actions::kMaxActionImages); ++i) {
            const QString file = platform::FromFixed(form->imageFiles[i]);
            seen.files.append(file);
            if (QFile::exists(file)) ++seen.existing;
        }
        std::lock_guard lock(mutex_);
        seen_.push_back(seen);
    }

    std::mutex mutex_;
    std::vector<Seen> seen_;
};

// Data lines of the recognition log (the header, when written, is not counted).
QStringList CsvDataLines(const QString& folder) {
    QFile file(folder + QStringLiteral("/Recgnzd0.txt"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    QString text;
    if (bytes.startsWith("\xFF\xFE"))
        text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    else
        text = QString::fromLocal8Bit(bytes);
    QStringList lines;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        if (line.contains(QStringLiteral("Иванов"))) lines.append(line);
    return lines;
}

QStringList TemporaryPictures(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("ostv*")}, QDir::Files);
}

class AlertsEndToEnd : public ProgramFixture {
protected:
    void WriteAlertSettings(platform::RegistryStore& store, const QString& csvFolder) {
        for (int record = 0; record < settings::kAlertCount; ++record) {
            const QString key = rn::NumberedKey(rn::kAlertsKey, record);
            ASSERT_EQ(store.CreateKey(key), 0);
            const bool all = record == 0;
            store.SetDword(key, rn::alert::kPlayWav, all ? 1 : 0);
            store.SetString(key, rn::alert::kWavFile, QString());
            store.SetString(key, rn::alert::kSpeech, all ? QStringLiteral("Внимание, %ФИО%") : QString());
            store.SetDword(key, rn::alert::kCsv, all ? 1 : 0);
            store.SetDword(key, rn::alert::kScript, 0);
            store.SetDword(key, rn::alert::kSendMail, 0);
        }
        ASSERT_EQ(store.CreateKey(rn::kCsvKey + u'\\' + rn::kRecognizedPersons), 0);
        store.SetString(rn::kCsvKey + u'\\' + rn::kRecognizedPersons, rn::csv::kFolder, csvFolder);
        ASSERT_EQ(store.CreateKey(rn::kUPActionsKey), 0);
        store.SetDword(rn::kUPActionsKey, rn::alert::kScript, 1);
        store.SetDword(rn::kUPActionsKey, rn::alert::kScriptType, 0);
        store.SetString(rn::kUPActionsKey, rn::alert::kScriptFile, QStringLiteral("/bin/true"));
        store.SetDword(rn::kUPActionsKey, rn::alert::kSendMail, 0);
        const QString scriptKey = rn::kScriptKey + u'\\' + rn::kUnrecognizedPersons;
        ASSERT_EQ(store.CreateKey(scriptKey), 0);
        store.SetDword(scriptKey, rn::script::kImgFileFormat, 0);
    }
};

TEST_F(AlertsEndToEnd, ARecognizedPersonIsAnnouncedOnceAndAnUnknownFaceLeavesWithItsPictures) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    const QString csvFolder = env.dir.filePath("csv");
    ASSERT_TRUE(QDir().mkpath(csvFolder));
    ASSERT_NO_FATAL_FAILURE(EnrollPerson(dbFile));
    testsupport::SwitchableCamera camera;
    ASSERT_TRUE(camera.Listening());
    camera.Show(photo);
    {
        platform::RegistryStore store(env.StorePath());
        ASSERT_NO_FATAL_FAILURE(WriteSettings(store, dbFile, camera.Url()));
        ASSERT_NO_FATAL_FAILURE(WriteAlertSettings(store, csvFolder));
        ASSERT_EQ(store.Save(), 0);
    }

    ASSERT_EQ(audio_test::MissingSoundServer(), QString());
    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(StartServiceAndAttach(objects));
    {
        audio_test::MonitorRecording recording;
        ASSERT_TRUE(recording.Started());
        actions::AlertDevices devices;
        ASSERT_TRUE(devices.SoundAvailable());
        ASSERT_TRUE(devices.SpeechAvailable());
        CountingAlerts alerts(devices, recording);
        RecordingWorkers workers;
        app::ProgramWindow program(objects, *models, *hub, {&alerts, &devices.Voices(), &workers});
        ASSERT_TRUE(program.Create());
        ui::MainFrame& frame = program.Frame();
        frame.show();

        ASSERT_TRUE(QTest::qWaitFor([&] { return HasRecognitionRow(frame, QStringLiteral("Иванов Пётр")); },
                                    kRecognitionLimitMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !CsvDataLines(csvFolder).isEmpty(); }, 10000));
        std::printf("recognition to CSV line on disk: at most %lld ms\n",
                    static_cast<long long>(alerts.firstAlert.elapsed()));
        // The person stays in view: no second announcement.
        QTest::qWait(4000);
        EXPECT_EQ(CsvDataLines(csvFolder).size(), 1);
        EXPECT_EQ(alerts.builtIn, std::vector<actions::BuiltInSound>{actions::BuiltInSound::AllLists});
        EXPECT_TRUE(alerts.files.isEmpty());
        EXPECT_EQ(alerts.spoken, QStringList{QStringLiteral("Внимание, Иванов Пётр")});
        // The sound and the speech came out after the alert: over a second of sound in all.
        const std::vector<audio_test::Span> spans =
            audio_test::SoundSpans(recording.Samples(), alerts.firstAlertSample);
        ASSERT_FALSE(spans.empty());
        double sounding = 0;
        for (const audio_test::Span& span : spans) sounding += span.Length();
        EXPECT_GT(sounding, 1.0);
        std::printf("recognition to the first audio sample: %.0f ms; %.1f s of sound\n",
                    (spans.front().start - double(alerts.firstAlertSample) / audio_test::kRate) * 1000, sounding);

        // An empty view, then somebody the database does not know, who leaves again.
        camera.Show(testsupport::CameraFrame({}, 0));
        QTest::qWait(3000);
        const std::vector<testsupport::JohnsPerson> people = testsupport::JohnsPeople();
        ASSERT_FALSE(people.empty());
        camera.Show(testsupport::CameraFrame(testsupport::EnrolPicture(people[0].pictures.front()), 40));
        QTest::qWait(5000);
        camera.Show(testsupport::CameraFrame({}, 0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !workers.Unrecognized().empty(); }, 30000));
        const RecordingWorkers::Seen seen = workers.Unrecognized().front();
        EXPECT_GE(seen.images, 2u);
        EXPECT_EQ(seen.existing, seen.images) << seen.files.join(u' ').toStdString();
        EXPECT_EQ(CsvDataLines(csvFolder).size(), 1);
        frame.close();
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
    EXPECT_EQ(TemporaryPictures(env.dir.filePath("tmp")), QStringList{});
    ExpectLinesInOrder(env.Log(), {QStringLiteral("Выполнение действий для события персона распознана"),
                                   QStringLiteral("Выполнение действий для события нераспознанной персоны")});
}

}  // namespace
