// The snapshot sound as it comes out of the test sound server: it gives way to an alert sound
// still playing, and plays whole once the server is quiet again.

#include "app/actions/alert_devices.h"
#include "tests/integration/actions_audio/monitor_recording.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using actions::BuiltInSound;

double Seconds(BuiltInSound sound) {
    QFile file(actions::BuiltInSoundPath(sound));
    return file.open(QIODevice::ReadOnly) ? (file.size() - 44) / 2.0 / 44100.0 : 0;
}

TEST(SnapshotSound, GivesWayToASoundStillPlayingAndPlaysWholeAfterIt) {
    const QString missing = audio_test::MissingSoundServer();
    ASSERT_TRUE(missing.isEmpty()) << missing.toStdString();
    actions::AlertDevices devices;
    ASSERT_TRUE(devices.SoundAvailable());
    audio_test::MonitorRecording recording;
    ASSERT_TRUE(recording.Started());
    // Both once first, so that each starts as quickly as it would in the program.
    devices.PlayAlertSound(BuiltInSound::Snapshot);
    audio_test::Pump(800ms);

    const double green = Seconds(BuiltInSound::GreenList);
    const double snapshot = Seconds(BuiltInSound::Snapshot);
    std::int64_t called = recording.Now();
    devices.PlayAlertSound(BuiltInSound::GreenList);
    audio_test::Pump(150ms);
    devices.PlaySoundUnlessPlaying(BuiltInSound::Snapshot);
    audio_test::Pump(std::chrono::milliseconds(int(green * 1000) + 600));
    std::vector<audio_test::Span> spans = audio_test::SoundSpans(recording.Samples(), called);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_NEAR(spans[0].Length(), green, 0.08) << "the snapshot sound cut the alert sound";

    called = recording.Now();
    devices.PlaySoundUnlessPlaying(BuiltInSound::Snapshot);
    audio_test::Pump(std::chrono::milliseconds(int(snapshot * 1000) + 600));
    spans = audio_test::SoundSpans(recording.Samples(), called);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_NEAR(spans[0].Length(), snapshot, 0.08);
}

}  // namespace
