// The alert sounds as they come out of the sound server.

#include "app/actions/alert_devices.h"
#include "app/actions/sound_player.h"
#include "app/actions/sound_wav.h"
#include "monitor_recording.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <iostream>

#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;
using actions::BuiltInSound;
using audio_test::Span;

constexpr BuiltInSound kBuiltInSounds[] = {BuiltInSound::Snapshot, BuiltInSound::AllLists, BuiltInSound::GreenList,
                                           BuiltInSound::RedList, BuiltInSound::GrayList};

QByteArray BuiltInWav(BuiltInSound sound) {
    QFile file(actions::BuiltInSoundPath(sound));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The length in seconds of one of our own canonical 44.1 kHz 16-bit mono WAVs.
double WavSeconds(const QByteArray& wav) { return (wav.size() - 44) / 2.0 / 44100.0; }

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing = audio_test::MissingSoundServer();
        ASSERT_TRUE(missing.isEmpty()) << missing.toStdString();
        ASSERT_TRUE(folder_.isValid());
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) {
        QFile file(folder_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir folder_;
};

TEST_F(SoundTest, BuiltInSoundsAreFiveDistinctShortWavs) {
    QSet<QByteArray> seen;
    for (BuiltInSound sound : kBuiltInSounds) {
        SCOPED_TRACE(static_cast<int>(sound));
        const std::optional<actions::WavSound> wav = actions::ParseWav(BuiltInWav(sound));
        ASSERT_TRUE(wav);
        EXPECT_EQ(wav->format.sampleRate(), 44100);
        EXPECT_EQ(wav->format.sampleFormat(), QAudioFormat::Int16);
        EXPECT_EQ(wav->samples.size(), BuiltInWav(sound).size() - 44);  // nothing but samples after the header
        EXPECT_GT(WavSeconds(BuiltInWav(sound)), 0.1);
        EXPECT_LT(WavSeconds(BuiltInWav(sound)), 1.0);  // an alert, not a tune
        seen.insert(wav->samples);
    }
    EXPECT_EQ(seen.size(), 5);
}

// A WAV as other programs write it: a 24-bit stereo extensible header and an odd-sized chunk
// (padded to even) before the samples.
QByteArray ForeignWav(const QByteArray& frames) {
    QByteArray fmt(40, '\0');
    qToLittleEndian<quint16>(0xFFFE, fmt.data());
    qToLittleEndian<quint16>(2, fmt.data() + 2);
    qToLittleEndian<quint32>(48000, fmt.data() + 4);
    qToLittleEndian<quint32>(48000 * 6, fmt.data() + 8);
    qToLittleEndian<quint16>(6, fmt.data() + 12);
    qToLittleEndian<quint16>(24, fmt.data() + 14);
    qToLittleEndian<quint16>(1, fmt.data() + 24);  // sub-format: PCM
    const auto chunk = [](const char* id, const QByteArray& body) {
        QByteArray bytes(id, 4);
        bytes.resize(8);
        qToLittleEndian<quint32>(quint32(body.size()), bytes.data() + 4);
        return bytes + body + (body.size() % 2 ? QByteArray(1, '\0') : QByteArray());
    };
    const QByteArray body = "WAVE" + chunk("fmt ", fmt) + chunk("LIST", "odd") + chunk("data", frames);
    QByteArray riff("RIFF....", 8);
    qToLittleEndian<quint32>(quint32(body.size()), riff.data() + 4);
    return riff + body;
}

TEST(WavReading, ForeignHeadersAndDamage) {
    // Two frames of 24-bit stereo, the second cut short: one whole frame remains.
    const QByteArray frames = QByteArray::fromHex(
        "010203"
        "fffe7f"
        "0a0b0c"
        "0d0e");
    const std::optional<actions::WavSound> sound = actions::ParseWav(ForeignWav(frames));
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->format.channelCount(), 2);
    EXPECT_EQ(sound->format.sampleRate(), 48000);
    EXPECT_EQ(sound->format.sampleFormat(), QAudioFormat::Int32);
    EXPECT_EQ(sound->samples.toHex(),
              "00010203"
              "00fffe7f");

    // Samples before their format, a format eSpeak or Qt could not play, and no samples at all.
    QByteArray dataFirst = ForeignWav(frames);
    std::swap_ranges(dataFirst.begin() + 12, dataFirst.begin() + 16, dataFirst.begin() + 72);
    EXPECT_FALSE(actions::ParseWav(dataFirst));
    QByteArray adpcm = BuiltInWav(BuiltInSound::GrayList);
    qToLittleEndian<quint16>(2, adpcm.data() + 20);
    EXPECT_FALSE(actions::ParseWav(adpcm));
    EXPECT_FALSE(actions::ParseWav(BuiltInWav(BuiltInSound::GrayList).left(44)));

    // Random damage never reads outside the file nor returns broken frames.
    QRandomGenerator random(106);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = round % 2 ? ForeignWav(frames) : BuiltInWav(BuiltInSound::Snapshot).left(400);
        for (int flips = 1 + random.bounded(6); flips > 0; --flips)
            bytes[random.bounded(bytes.size())] = char(random.bounded(256));
        if (random.bounded(3) == 0) bytes.truncate(random.bounded(bytes.size()));
        if (const std::optional<actions::WavSound> parsed = actions::ParseWav(bytes)) {
            ASSERT_GT(parsed->format.bytesPerFrame(), 0);
            EXPECT_EQ(parsed->samples.size() % parsed->format.bytesPerFrame(), 0);
            EXPECT_LE(parsed->samples.size(), bytes.size() * 4 / 3);
        }
    }
}

// Each sound comes out, whole and alone, from a file as from the built-in set; the first
// sample's delay after the call is printed.
TEST_F(SoundTest, AlertSoundsComeOutWithTheirLength) {
    actions::AlertDevices devices;
    ASSERT_TRUE(devices.SoundAvailable());
    const QByteArray red = BuiltInWav(BuiltInSound::RedList);
    const QString file = WriteFile(QStringLiteral("alarm.wav"), red);

    audio_test::MonitorRecording recording;
    ASSERT_TRUE(recording.Started());
    const auto expectOne = [&](auto play, double seconds, const char* what) {
        SCOPED_TRACE(what);
        const std::int64_t called = recording.Now();
        const auto calling = std::chrono::steady_clock::now();
        play();
        const auto call = std::chrono::steady_clock::now() - calling;
        EXPECT_LT(call, 50ms) << "playing must not wait for the sound";
        audio_test::Pump(std::chrono::milliseconds(int(seconds * 1000) + 700));
        const std::vector<Span> spans = audio_test::SoundSpans(recording.Samples(), called);
        ASSERT_EQ(spans.size(), 1u);
        EXPECT_NEAR(spans[0].Length(), seconds, 0.06);
        std::cout << what << ": first sample " << int((spans[0].start - double(called) / audio_test::kRate) * 1000)
                  << " ms after the call, " << int(spans[0].Length() * 1000) << " ms long, the call took "
                  << std::chrono::duration_cast<std::chrono::microseconds>(call).count() << " us\n";
    };
    expectOne([&] { devices.PlayAlertSound(file); }, WavSeconds(red), "file");
    expectOne([&] { devices.PlayAlertSound(file); }, WavSeconds(red), "the same file again");
    // The operator replaced the file: the new sound plays, not the one read before.
    const QByteArray gray = BuiltInWav(BuiltInSound::GrayList);
    WriteFile(QStringLiteral("alarm.wav"), gray);
    expectOne([&] { devices.PlayAlertSound(file); }, WavSeconds(gray), "the file replaced");
    expectOne([&] { devices.PlayAlertSound(BuiltInSound::GreenList); }, WavSeconds(BuiltInWav(BuiltInSound::GreenList)),
              "built-in green");
    expectOne([&] { devices.PlayAlertSound(BuiltInSound::Snapshot); }, WavSeconds(BuiltInWav(BuiltInSound::Snapshot)),
              "built-in snapshot");
}

TEST_F(SoundTest, ASecondSoundCutsTheFirst) {
    actions::SoundPlayer player;
    ASSERT_GT(player.DeviceCount(), 0);
    audio_test::MonitorRecording recording;
    ASSERT_TRUE(recording.Started());
    // Loaded once first, so that both start as quickly as the second would in the program.
    player.Play(BuiltInSound::GreenList);
    player.Play(BuiltInSound::Snapshot);
    audio_test::Pump(800ms);

    const std::int64_t called = recording.Now();
    player.Play(BuiltInSound::GreenList);
    audio_test::Pump(150ms);
    player.Play(BuiltInSound::Snapshot);
    audio_test::Pump(900ms);
    const std::vector<Span> spans = audio_test::SoundSpans(recording.Samples(), called);
    ASSERT_EQ(spans.size(), 1u);
    const double green = WavSeconds(BuiltInWav(BuiltInSound::GreenList));
    const double snapshot = WavSeconds(BuiltInWav(BuiltInSound::Snapshot));
    // About 150 ms of the first and the whole second; both whole would last as long as the first.
    EXPECT_NEAR(spans[0].Length(), 0.15 + snapshot, 0.08);
    EXPECT_LT(spans[0].Length(), green - 0.1);
}

TEST_F(SoundTest, FilesThatAreMissingOrNoWavPlayNothingAndHarmNothing) {
    actions::SoundPlayer player;
    audio_test::MonitorRecording recording;
    ASSERT_TRUE(recording.Started());
    const std::int64_t called = recording.Now();
    player.Play(folder_.filePath(QStringLiteral("missing.wav")));
    player.Play(folder_.path());
    player.Play(QString());
    player.Play(WriteFile(QStringLiteral("text.wav"), QByteArray("RIFF, but only in words. ").repeated(200)));
    player.Play(WriteFile(QStringLiteral("empty.wav"), {}));
    const QByteArray pipe = QFile::encodeName(folder_.filePath(QStringLiteral("pipe.wav")));
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    player.Play(QFile::decodeName(pipe));  // would wait forever for a writer if it were opened
    audio_test::Pump(800ms);
    EXPECT_TRUE(audio_test::SoundSpans(recording.Samples(), called).empty());

    // None of them stops the player: the next good sound comes out whole.
    const std::int64_t good = recording.Now();
    player.Play(BuiltInSound::GrayList);
    audio_test::Pump(1000ms);
    const std::vector<Span> spans = audio_test::SoundSpans(recording.Samples(), good);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_NEAR(spans[0].Length(), WavSeconds(BuiltInWav(BuiltInSound::GrayList)), 0.06);
}

}  // namespace
