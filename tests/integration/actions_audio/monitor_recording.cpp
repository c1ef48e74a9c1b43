#include "monitor_recording.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

extern char** environ;

namespace audio_test {

namespace {
constexpr int kSilence = 200;  // peak of a 10 ms window below which it counts as silent
constexpr int kWindow = kRate / 100;
}  // namespace

QString MissingSoundServer() {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER") || qEnvironmentVariableIsEmpty("OSTROVID_TEST_MONITOR"))
        return QStringLiteral(
            "PULSE_SERVER and OSTROVID_TEST_MONITOR are not set: run the tests through ./test.sh, or start "
            "scripts/test-services.d/pulseaudio.sh start ENV_FILE and source ENV_FILE");
    return {};
}

MonitorRecording::MonitorRecording() {
    const QByteArray device = qgetenv("OSTROVID_TEST_MONITOR");
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    const std::string rate = std::to_string(kRate);
    std::vector<std::string> arguments = {
        "parec",          "-d",           device.toStdString(), "--raw", "--format=s16le",
        "--rate=" + rate, "--channels=1", "--latency-msec=10"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawnp(&pid_, "parec", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(pipeEnds[0]);
        return;
    }
    reader_ = std::thread([this, fd = pipeEnds[0]] { Read(fd); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Now() < kRate / 20 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    started_ = Now() >= kRate / 20;
}

MonitorRecording::~MonitorRecording() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (reader_.joinable()) reader_.join();
}

void MonitorRecording::Read(int fd) {
    std::vector<char> buffer(4096);
    std::vector<char> pending;
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got <= 0) break;
        pending.insert(pending.end(), buffer.begin(), buffer.begin() + got);
        const size_t whole = pending.size() / 2 * 2;
        const std::lock_guard lock(mutex_);
        for (size_t i = 0; i < whole; i += 2)
            samples_.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(pending[i]) |
                                                         (static_cast<unsigned char>(pending[i + 1]) << 8)));
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(whole));
    }
    close(fd);
}

std::int64_t MonitorRecording::Now() const {
    const std::lock_guard lock(mutex_);
    return static_cast<std::int64_t>(samples_.size());
}

std::vector<std::int16_t> MonitorRecording::Samples() const {
    const std::lock_guard lock(mutex_);
    return samples_;
}

std::vector<Span> SoundSpans(const std::vector<std::int16_t>& samples, std::int64_t from,
                             std::chrono::milliseconds gap) {
    std::vector<Span> spans;
    const double joinGap = gap.count() / 1000.0;
    for (auto at = static_cast<size_t>(std::max<std::int64_t>(from, 0)); at + kWindow <= samples.size();
         at += kWindow) {
        const auto window = samples.begin() + static_cast<std::ptrdiff_t>(at);
        const int peak = std::abs(int(*std::max_element(window, window + kWindow, [](std::int16_t a, std::int16_t b) {
            return std::abs(int(a)) < std::abs(int(b));
        })));
        if (peak < kSilence) continue;
        const double start = double(at) / kRate;
        const double end = double(at + kWindow) / kRate;
        if (!spans.empty() && start - spans.back().end <= joinGap)
            spans.back().end = end;
        else
            spans.push_back({start, end});
    }
    return spans;
}

void Pump(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace audio_test
