// Speech as it comes out of the sound server, and the word events the test dialogs follow.

#include "app/actions/alert_devices.h"
#include "app/actions/speech_engine.h"
#include "monitor_recording.h"
#include "platform/log.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

namespace {

using namespace std::chrono_literals;
using actions::SpeechProgress;
using audio_test::Span;

const QString kInstalledData = QStringLiteral("/usr/lib/x86_64-linux-gnu/espeak-ng-data");

// What one voice reported: the words as cut from the text it was given, and the ends of texts.
struct Heard {
    QStringList words;
    int ends = 0;
    std::vector<QString>* order = nullptr;  // "A:word", "A:end" across voices
    QString name;

    void Follow(actions::SpeechVoice& voice, const QString& text) {
        voice.onProgress = [this, text](const SpeechProgress& progress) {
            ASSERT_GE(progress.position, 0);
            ASSERT_LE(progress.position + progress.length, text.size());
            const QString event = progress.kind == SpeechProgress::Kind::Word
                                      ? text.mid(progress.position, progress.length)
                                      : QStringLiteral("<end>");
            if (progress.kind == SpeechProgress::Kind::Word)
                words << event;
            else
                ++ends;
            if (order) order->push_back(name + u':' + event);
        };
    }
};

double SoundingLength(const std::vector<Span>& spans) {
    return spans.empty() ? 0.0 : spans.back().end - spans.front().start;
}

class SpeechTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing = audio_test::MissingSoundServer();
        ASSERT_TRUE(missing.isEmpty()) << missing.toStdString();
        ASSERT_TRUE(folder_.isValid());
    }

    QTemporaryDir folder_;
};

// Positions come back in the text as the operator wrote it, tags and all, after a spelled word,
// a pause and a character outside the basic plane; the pause is really heard.
TEST_F(SpeechTest, WordsAreReportedWhereTheyStandInTheOriginalText) {
    actions::AlertDevices devices;
    ASSERT_TRUE(devices.SpeechAvailable());
    std::unique_ptr<actions::SpeechVoice> voice = devices.Voices().CreateVoice();
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->Description(), QStringLiteral("Russian"));

    const QString text = QStringLiteral("Привет, <spell>Ваня</spell><silence msec=\"500\"/> до \U0001D11E встречи");
    Heard heard;
    heard.Follow(*voice, text);
    audio_test::MonitorRecording recording;
    ASSERT_TRUE(recording.Started());
    const std::int64_t called = recording.Now();
    const auto calling = std::chrono::steady_clock::now();
    voice->Speak(text);
    const auto call = std::chrono::steady_clock::now() - calling;
    EXPECT_LT(call, 50ms) << "speaking must not wait for the speech";
    ASSERT_TRUE(audio_test::PumpUntil([&] { return heard.ends == 1; }, 8s));
    audio_test::Pump(200ms);

    ASSERT_GE(heard.words.size(), 4);
    EXPECT_EQ(heard.words.front(), QStringLiteral("Привет"));
    EXPECT_EQ(heard.words[1], QStringLiteral("Ваня"));
    EXPECT_EQ(heard.words[2], QStringLiteral("до"));
    EXPECT_EQ(heard.words.back(), QStringLiteral("встречи"));

    const std::vector<Span> spans = audio_test::SoundSpans(recording.Samples(), called);
    ASSERT_GE(spans.size(), 2u);
    double longestPause = 0;
    for (size_t i = 1; i < spans.size(); ++i) longestPause = std::max(longestPause, spans[i].start - spans[i - 1].end);
    EXPECT_GT(longestPause, 0.45);
    std::cout << "speech: first sample " << int((spans.front().start - double(called) / audio_test::kRate) * 1000)
              << " ms after the call, the call took "
              << std::chrono::duration_cast<std::chrono::microseconds>(call).count() << " us\n";
}

// Texts of two voices queue in the one engine: the second starts when the first has ended, each
// voice hears only its own events, and a voice destroyed with a text queued hears nothing.
TEST_F(SpeechTest, TextsAreSpokenOneAfterTheOther) {
    actions::SpeechEngine engine;
    ASSERT_TRUE(engine.RussianVoicePresent());
    std::unique_ptr<actions::SpeechVoice> first = engine.CreateVoice();
    std::unique_ptr<actions::SpeechVoice> second = engine.CreateVoice();
    const QString textA = QStringLiteral("раз два три");
    const QString textB = QStringLiteral("четыре пять");
    std::vector<QString> order;
    Heard heardA{{}, 0, &order, QStringLiteral("A")};
    Heard heardB{{}, 0, &order, QStringLiteral("B")};
    heardA.Follow(*first, textA);
    heardB.Follow(*second, textB);

    audio_test::MonitorRecording recording;
    ASSERT_TRUE(recording.Started());
    const auto speakAlone = [&](actions::SpeechVoice& voice, const QString& text, const Heard& heard) {
        const std::int64_t called = recording.Now();
        const int ends = heard.ends;
        voice.Speak(text);
        EXPECT_TRUE(audio_test::PumpUntil([&] { return heard.ends > ends; }, 8s));
        audio_test::Pump(250ms);
        return SoundingLength(audio_test::SoundSpans(recording.Samples(), called));
    };
    const double aloneA = speakAlone(*first, textA, heardA);
    const double aloneB = speakAlone(*second, textB, heardB);
    ASSERT_GT(aloneA, 0.3);
    ASSERT_GT(aloneB, 0.3);

    order.clear();
    const std::int64_t called = recording.Now();
    first->Speak(textA);
    second->Speak(textB);
    ASSERT_TRUE(audio_test::PumpUntil([&] { return heardA.ends == 2 && heardB.ends == 2; }, 10s));
    audio_test::Pump(250ms);
    const double together = SoundingLength(audio_test::SoundSpans(recording.Samples(), called));

    const std::vector<QString> expected = {u"A:раз"_qs,    u"A:два"_qs,  u"A:три"_qs,  u"A:<end>"_qs,
                                           u"B:четыре"_qs, u"B:пять"_qs, u"B:<end>"_qs};
    EXPECT_EQ(order, expected);
    // Overlapping texts would take about as long as the longer one; queued ones take both and the
    // pause between them.
    EXPECT_GT(together, aloneA + aloneB - 0.1) << "A alone " << aloneA << " s, B alone " << aloneB << " s";
    EXPECT_LT(together, aloneA + aloneB + 0.6) << "A alone " << aloneA << " s, B alone " << aloneB << " s";

    // The text of a voice destroyed while it waits is still spoken, but nobody hears its events.
    const std::int64_t afterBoth = recording.Now();
    {
        std::unique_ptr<actions::SpeechVoice> gone = engine.CreateVoice();
        gone->onProgress = [](const SpeechProgress&) { ADD_FAILURE() << "an event for a destroyed voice"; };
        gone->Speak(QStringLiteral("семь"));
    }
    audio_test::Pump(1500ms);
    EXPECT_FALSE(audio_test::SoundSpans(recording.Samples(), afterBoth).empty());
}

// A copy of the speech data without the Russian voice and dictionary.
QString DataWithoutRussian(const QString& folder) {
    const QDir source(kInstalledData);
    QDirIterator files(kInstalledData, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = source.relativeFilePath(path);
        if (relative == u"ru_dict" || relative.startsWith(u"lang/zle/ru")) continue;
        const QString copy = folder + u'/' + relative;
        QDir().mkpath(QFileInfo(copy).path());
        QFile::link(path, copy);
    }
    return folder;
}

TEST_F(SpeechTest, WithoutARussianVoiceNothingIsSpoken) {
    actions::AlertDevices devices(DataWithoutRussian(folder_.filePath(QStringLiteral("espeak-ng-data"))));
    EXPECT_FALSE(devices.SpeechAvailable());
    EXPECT_GT(devices.Voices().VoiceCount(), 10);  // the other languages are still there
    EXPECT_TRUE(devices.SoundAvailable());

    audio_test::MonitorRecording recording;
    ASSERT_TRUE(recording.Started());
    const std::int64_t called = recording.Now();
    devices.SpeakAlertText(QStringLiteral("Привет, Ваня"));
    audio_test::Pump(1500ms);
    EXPECT_TRUE(audio_test::SoundSpans(recording.Samples(), called).empty());
}

TEST_F(SpeechTest, AnEngineThatCannotStartIsLoggedAndLeavesSpeechOff) {
    const QString log = folder_.filePath(QStringLiteral("Ostrovid.log"));
    platform::SetLogFile(log, log + QStringLiteral(".old"));
    QDir(folder_.path()).mkdir(QStringLiteral("empty"));
    for (const QString& data :
         {folder_.filePath(QStringLiteral("missing")), folder_.filePath(QStringLiteral("empty"))}) {
        actions::AlertDevices devices(data);
        EXPECT_FALSE(devices.SpeechAvailable());
        EXPECT_EQ(devices.Voices().VoiceCount(), 0);
        EXPECT_EQ(devices.Voices().CreateVoice(), nullptr);
        devices.SpeakAlertText(QStringLiteral("ничего"));
    }
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString lines = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    EXPECT_EQ(lines.count(QStringLiteral("Ошибка запроса интерфейса IID_ISpVoice: (")), 2) << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("IID_ISpVoice: (00000002) No such file or directory")))
        << lines.toStdString();
}

int ThreadCount() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

TEST_F(SpeechTest, StoppingWhileSpeakingEndsPromptlyAndLeavesNoThread) {
    const int threadsBefore = ThreadCount();
    auto engine = std::make_unique<actions::SpeechEngine>();
    std::unique_ptr<actions::SpeechVoice> voice = engine->CreateVoice();
    int events = 0;
    voice->onProgress = [&events](const SpeechProgress&) { ++events; };
    for (int i = 0; i < 5; ++i) voice->Speak(QStringLiteral("Это длинный текст, который никто не дослушает до конца."));
    ASSERT_TRUE(audio_test::PumpUntil([&] { return events > 0; }, 5s));
    const auto stopping = std::chrono::steady_clock::now();
    engine.reset();
    const auto stopped = std::chrono::steady_clock::now() - stopping;
    EXPECT_LT(stopped, 1500ms);
    std::cout << "engine stopped in " << std::chrono::duration_cast<std::chrono::milliseconds>(stopped).count()
              << " ms\n";
    EXPECT_EQ(ThreadCount(), threadsBefore);
    voice->Speak(QStringLiteral("после конца"));  // a voice that outlives its engine is mute
    const int eventsAtStop = events;
    audio_test::Pump(300ms);
    EXPECT_EQ(events, eventsAtStop);
}

}  // namespace
