#pragma once
// What came out of the test sound server: parec records the null sink's monitor (mono, 16 kHz)
// while the code under test plays or speaks, and the samples are cut into sounding spans.

#include <QString>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace audio_test {

constexpr int kRate = 16000;

// Empty when the test sound server is there, else why not.
QString MissingSoundServer();

class MonitorRecording {
public:
    // Starts parec and returns once samples arrive (a sink that was idle starts late).
    MonitorRecording();
    ~MonitorRecording();
    MonitorRecording(const MonitorRecording&) = delete;
    MonitorRecording& operator=(const MonitorRecording&) = delete;

    bool Started() const { return started_; }
    // Samples recorded so far: the index of "now" in the recording.
    std::int64_t Now() const;
    std::vector<std::int16_t> Samples() const;

private:
    void Read(int fd);

    pid_t pid_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    bool started_ = false;
};

// A stretch of sound, in seconds from the recording's start.
struct Span {
    double start = 0;
    double end = 0;
    double Length() const { return end - start; }
};

// The sounding spans from sample `from` on: 10 ms windows with a peak above the silence level,
// joined across pauses shorter than `gap`.
std::vector<Span> SoundSpans(const std::vector<std::int16_t>& samples, std::int64_t from,
                             std::chrono::milliseconds gap = std::chrono::milliseconds(120));

// Runs the Qt event loop (queued speech events, sound effect loading) for a while.
void Pump(std::chrono::milliseconds duration);

// Runs the Qt event loop until `done` or the time is out; returns `done()`.
template <typename Done>
bool PumpUntil(Done done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < until) Pump(std::chrono::milliseconds(10));
    return done();
}

}  // namespace audio_test
