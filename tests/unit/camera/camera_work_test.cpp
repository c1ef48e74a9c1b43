#include "app/camera/camera_work.h"
#include "app/camera/camera_list.h"
#include "app/camera/hangup_detection.h"
#include "app/camera/stream_test.h"
#include "platform/fixedtext.h"
#include "settings/settings_hub.h"
#include "tests/support/refused_events.h"
#include "tests/unit/camera/camera_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class StateRecorder : public camera::CameraStateBroadcaster {
public:
    void BroadcastCameraState(camera::CameraState state, int operation) override {
        std::lock_guard<std::mutex> lock(mutex);
        events.emplace_back(state, operation);
    }
    std::vector<std::pair<camera::CameraState, int>> Events() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    std::mutex mutex;
    std::vector<std::pair<camera::CameraState, int>> events;
};

void SelectIpCamera(settings::SettingsHub& hub, const QString& name, const QString& url) {
    hub.Update([&](settings::SettingsState& s) {
        s.cameraList = {};
        settings::CameraDescriptor camera{};
        camera.Type = camera::kIpCamera;
        platform::CopyToFixed(camera.Name, name);
        platform::CopyToFixed(camera.Source.Url, url);
        camera::StoreCamera(s.cameraList, 0, camera);
        s.CurrentCameraIndex = 0;
    });
}

void SetCurrentCamera(settings::SettingsHub& hub, int32_t index) {
    hub.Update([index](settings::SettingsState& s) { s.CurrentCameraIndex = index; });
}

class CameraWorkTest : public ::testing::Test {
protected:
    void SetUp() override { camera::SetCameraStateBroadcaster(&states_); }
    void TearDown() override {
        camera_.StopCamera(true);
        camera::SetCameraStateBroadcaster(nullptr);
    }

    camera_test::TempLog log_;
    camera_test::RecordingSink journal_;
    StateRecorder states_;
    camera::CameraPanel panel_;
    settings::SettingsHub hub_;
    camera::CameraControl camera_{panel_, journal_.Journal(), hub_};
};

TEST_F(CameraWorkTest, StartWithoutCurrentCameraIsRefusedWithoutJournal) {
    SetCurrentCamera(hub_, -1);
    camera_.StartCamera();
    EXPECT_FALSE(camera::CameraThreadExists());
    EXPECT_TRUE(log_.Text().contains("Команда на старт камеры..."));
    EXPECT_TRUE(log_.Text().contains("Не задана текущая камера. Отмена старта."));
    EXPECT_TRUE(journal_.Entries().empty());
    // A current index that points at an empty slot is no camera either.
    SelectIpCamera(hub_, "x", "rtsp://127.0.0.1/x");
    SetCurrentCamera(hub_, 3);
    camera_.StartCamera();
    EXPECT_FALSE(camera::CameraThreadExists());
}

TEST_F(CameraWorkTest, UnresolvableHostRefusesTheStart) {
    // An empty label fails in the resolver itself: no query leaves the machine.
    SelectIpCamera(hub_, "Двор", "rtsp://camera..invalid/live");
    camera_.StartCamera();
    EXPECT_FALSE(camera::CameraThreadExists());
    const auto entries = journal_.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].eventText, "Камера недоступна");
    EXPECT_EQ(entries[0].description, "Невозможно получить IP-адрес хоста камеры");
    EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::CameraIcon::Error));
    EXPECT_EQ(entries[0].statusBar, shell::StatusBar::Show);
    EXPECT_EQ(entries[0].statusIcon, shell::StatusIcon::Error);
    EXPECT_TRUE(log_.Text().contains("Невозможно определить IP-адрес хоста камеры. Отмена старта."));
    EXPECT_TRUE(log_.Text().contains("Параметры камеры: (Двор) IP-камера, rtsp://camera..invalid/live"));
}

TEST_F(CameraWorkTest, RetriesEveryFiveSecondsRefusesSecondStartAndStopsAtOnce) {
    const uint16_t port = camera_test::FreeLoopbackPort();
    const QString url = QString("http://127.0.0.1:%1/video.mjpg").arg(port);
    SelectIpCamera(hub_, "Вход", url);
    camera_.StartCamera();
    ASSERT_TRUE(camera::CameraThreadExists());
    EXPECT_TRUE(log_.Text().contains(QString("IP-адрес камеры: 127.0.0.1, Порт: %1").arg(port)));
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        EXPECT_EQ(camera::g_CameraStarted, 1);
        EXPECT_EQ(camera::g_CameraWork.address.port, port);
    }

    camera_.StartCamera();
    EXPECT_TRUE(log_.Text().contains("Дескриптор рабочего потока камеры не NULL. Отмена старта."));
    EXPECT_EQ(journal_.Count("Поток камеры стартован"), 1);

    ASSERT_TRUE(journal_.WaitFor("Ошибка открытия камеры", 2, 12s));
    const auto gap = journal_.TimeOf("Ошибка открытия камеры", 2) - journal_.TimeOf("Ошибка открытия камеры", 1);
    EXPECT_GE(gap, 4900ms);
    EXPECT_LE(gap, 6500ms);
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        EXPECT_EQ(camera::g_CameraWork.opened, 0);
        EXPECT_NE(camera::g_CameraWork.lastActivity, 0);
    }

    // Now inside a 5 s pause: the stop must not wait for it.
    const auto before = Clock::now();
    camera_.StopCamera(false);
    EXPECT_LT(Clock::now() - before, 500ms);
    EXPECT_FALSE(camera::CameraThreadExists());
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        EXPECT_EQ(camera::g_CameraStarted, 0);
        EXPECT_EQ(camera::g_CameraWork.pCvSream, nullptr);
    }
    const auto entries = journal_.Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().eventText, "Поток камеры стартован");
    EXPECT_EQ(entries.front().description, "Вход");
    EXPECT_EQ(entries.back().eventText, "Поток камеры остановлен");
    EXPECT_EQ(entries.back().description, "Вход");
    EXPECT_EQ(entries.back().icon, shell::EntryIcon(shell::CameraIcon::ThreadStopped));
    const auto events = states_.Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front(), std::make_pair(camera::CameraState::Works, camera::kCameraOpThreadStarted));
    EXPECT_EQ(events.back(), std::make_pair(camera::CameraState::Iddle, camera::kCameraOpStopped));
    const QString log = log_.Text();
    for (const char* line : {"Создание рабочего потока камеры...", "Камера стартована.", "WorkCamThreadFunc enter.",
                             "WorkCamThreadFunc: Ошибка открытия камеры. Пауза перед попыткой открытия...",
                             "Остановка рабочего потока камеры...", "WorkCamThreadFunc: StopEvent signaled.",
                             "WorkCamThreadFunc exit.", "Рабочий поток камеры остановлен."}) {
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line;
    }

    // A silent stop posts nothing and sends no state.
    journal_.Clear();
    camera_.StartCamera();
    ASSERT_TRUE(camera::CameraThreadExists());
    const size_t stateCount = states_.Events().size();
    camera_.StopCamera(true);
    EXPECT_EQ(journal_.Count("Поток камеры остановлен"), 0);
    for (size_t i = stateCount; i < states_.Events().size(); ++i) {
        EXPECT_NE(states_.Events()[i].first, camera::CameraState::Iddle);
    }
}

// Without its events a capture thread could never be stopped: its every wait would fail at once.
// The start is refused as a thread that cannot be started, and the event's line is logged.
TEST_F(CameraWorkTest, EventsThatCannotBeMadeRefuseTheStart) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SelectIpCamera(hub_, "Вход", QString("http://127.0.0.1:%1/video.mjpg").arg(camera_test::FreeLoopbackPort()));
    EXPECT_EXIT(
        {
            if (!testsupport::RefuseNewEvents()) std::_Exit(2);
            camera_.StartCamera();
            const QString log = log_.Text();
            const bool refused = !camera::CameraThreadExists() &&
                                 log.contains("Error. Can't create hCameraStopEvent event object.") &&
                                 log.contains("Ошибка создания рабочего потока камеры") &&
                                 journal_.Count("Ошибка запуска потока захвата видео") == 1 &&
                                 journal_.Count("Поток камеры стартован") == 0;
            std::fputs(refused ? "start refused\n" : "started without events\n", stderr);
            // A thread left spinning is ended with the process.
            std::_Exit(refused ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "start refused");
}

// The watchdog's rule, checked on a camera record set by hand (no capture thread runs).
class HangupRuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera::SetCloseSocketCommandForTest([this](uint32_t address, uint16_t port) {
            std::lock_guard<std::mutex> lock(mutex_);
            closes_.emplace_back(address, port);
            return true;
        });
    }
    void TearDown() override {
        camera::SetCloseSocketCommandForTest(nullptr);
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        camera::g_CameraStarted = 0;
        camera::g_CameraWork = camera::CameraWork{};
    }
    void SetCamera(int32_t type, uint16_t port, int32_t opened, int64_t lastActivity) {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        camera::g_CameraWork = camera::CameraWork{};
        camera::g_CameraWork.descriptor.Type = type;
        platform::CopyToFixed(camera::g_CameraWork.descriptor.Source.Url, QStringLiteral("rtsp://10.0.0.7/live"));
        camera::g_CameraWork.address.address = inet_addr("10.0.0.7");
        camera::g_CameraWork.address.port = port;
        camera::g_CameraWork.opened = opened;
        camera::g_CameraWork.lastActivity = lastActivity;
        camera::g_CameraStarted = 1;
    }
    size_t Closes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return closes_.size();
    }

    camera_test::TempLog log_;
    camera_test::RecordingSink journal_;
    settings::CamerasExtParam limits_{0, 60, 15};
    std::mutex mutex_;
    std::vector<std::pair<uint32_t, uint16_t>> closes_;
};

TEST_F(HangupRuleTest, ElapsedBeyondTheLimitThatAppliesSendsTheClose) {
    const int64_t start = 1'700'000'000;
    SetCamera(camera::kIpCamera, 554, 0, start);
    EXPECT_FALSE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 60));  // equal to the limit: not yet
    EXPECT_TRUE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 61));
    ASSERT_EQ(Closes(), 1u);
    EXPECT_EQ(closes_[0], std::make_pair(uint32_t(inet_addr("10.0.0.7")), uint16_t(554)));
    const auto entries = journal_.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].eventText, "Попытка закрытия соединения с IP-камерой");
    EXPECT_EQ(entries[0].description, "Камера \"висит\"");
    EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::CameraIcon::Warning));
    EXPECT_EQ(entries[0].statusBar, shell::StatusBar::Show);
    EXPECT_EQ(entries[0].statusIcon, shell::StatusIcon::Warning);
    EXPECT_TRUE(log_.Text().contains(
        "HangupDetectionThreadFunc(): IP-камера \"висит\". Попытка закрытия TCP соединений с 'rtsp://10.0.0.7/live' -> "
        "10.0.0.7:554"));

    // Once frames came, the shorter new-frame limit applies.
    SetCamera(camera::kIpCamera, 554, 1, start);
    EXPECT_FALSE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 15));
    EXPECT_TRUE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 16));
    EXPECT_EQ(Closes(), 2u);
}

TEST_F(HangupRuleTest, WebCamerasUnknownPortsAndStoppedCamerasAreNotWatched) {
    const int64_t start = 1'700'000'000;
    SetCamera(camera::kWebCamera, 554, 0, start);
    EXPECT_FALSE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 100000));
    SetCamera(camera::kIpCamera, 0, 0, start);
    EXPECT_FALSE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 100000));
    SetCamera(camera::kIpCamera, 554, 0, 0);
    EXPECT_FALSE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 100000));
    SetCamera(camera::kIpCamera, 554, 0, start);
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        camera::g_CameraStarted = 0;
    }
    EXPECT_FALSE(camera::CheckCameraHangup(journal_.Journal(), limits_, start + 100000));
    EXPECT_EQ(Closes(), 0u);
    EXPECT_TRUE(journal_.Entries().empty());
}

TEST_F(HangupRuleTest, ThreadRepeatsWhileStalledAndEndsOnTermination) {
    SetCamera(camera::kIpCamera, 554, 0, int64_t(std::time(nullptr)) - 1000);
    camera::SetHangupCheckIntervalForTest(50ms);
    platform::Event term(true, false);
    settings::SettingsState limited;
    limited.camerasExt = limits_;
    const settings::SettingsHub hub(std::move(limited));
    std::thread watchdog(camera::HangupDetectionThreadFunc, &term, std::cref(journal_.Journal()), std::cref(hub));
    ASSERT_TRUE(journal_.WaitFor("Попытка закрытия соединения с IP-камерой", 3, 5s));
    const auto before = Clock::now();
    term.Set();
    watchdog.join();
    EXPECT_LT(Clock::now() - before, 1s);
    camera::SetHangupCheckIntervalForTest(10s);
    EXPECT_GE(Closes(), 3u);
    const QString log = log_.Text();
    EXPECT_TRUE(log.contains("HangupDetectionThreadFunc started."));
    EXPECT_TRUE(log.contains("HangupDetectionThreadFunc: hTermEvent signaled."));
    EXPECT_TRUE(log.contains("HangupDetectionThreadFunc completed."));
}

// The stream test's no-frame watch runs on the dialog's timer, on the window's thread: a service
// that takes five seconds to answer the close command holds up no tick.
TEST_F(HangupRuleTest, TheStreamTestsCloseCommandHoldsUpNoTimerTick) {
    platform::Event answered(true, false);
    camera::SetCloseSocketCommandForTest([this, &answered](uint32_t address, uint16_t port) {
        std::this_thread::sleep_for(5s);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closes_.emplace_back(address, port);
        }
        answered.Set();
        return true;
    });
    camera::StreamTestParams params;
    params.camera.Type = camera::kIpCamera;
    platform::CopyToFixed(params.camera.Source.Url, QStringLiteral("rtsp://10.0.0.7:554/live"));
    params.waitConnectionTime = 30;
    {
        // The test thread is not started: no frame ever comes.
        camera::StreamTestWorker worker(params, nullptr);
        ASSERT_TRUE(worker.ResolveAddress());
        cv::Mat frame;
        const int64_t start = 1'700'000'000;
        EXPECT_FALSE(worker.Tick(start, &frame));  // the no-frame time starts
        const auto before = Clock::now();
        EXPECT_FALSE(worker.Tick(start + 31, &frame));
        EXPECT_LT(Clock::now() - before, 100ms);
        EXPECT_FALSE(answered.Wait(0));
        EXPECT_TRUE(answered.Wait(10000));
    }
    ASSERT_EQ(Closes(), 1u);
    EXPECT_EQ(closes_[0], std::make_pair(uint32_t(inet_addr("10.0.0.7")), uint16_t(554)));
    EXPECT_TRUE(
        log_.Text().contains("TestVideoStreamDlgProc(): IP-камера \"висит\". Попытка закрытия TCP соединений с "
                             "'rtsp://10.0.0.7:554/live' -> 10.0.0.7:554"));
}

}  // namespace
