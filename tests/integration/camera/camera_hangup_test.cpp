#include "app/camera/camera_list.h"
#include "app/camera/camera_work.h"
#include "app/camera/hangup_detection.h"
#include "platform/fixedtext.h"
#include "platform/tcpreset.h"
#include "settings/settings_hub.h"
#include "tests/integration/camera/service_process.h"
#include "tests/integration/camera/stream_servers.h"
#include "tests/unit/camera/camera_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// What the service does on the close command: find this process's established connection to
// the camera and reset it through the kernel's socket diagnostics.
bool ResetOwnConnection(uint32_t address, uint16_t port) {
    std::vector<platform::TcpConnectionRow> rows;
    if (platform::ListTcpConnections(&rows) != 0) return false;
    const auto inodes = platform::ProcessView(uint32_t(getpid())).SocketInodes();
    for (const auto& row : rows) {
        if (row.state == platform::kTcpStateEstablished && row.remoteAddress == address && row.remotePort == port &&
            inodes.count(row.inode) != 0) {
            return platform::ResetTcpConnection(row) == 0;
        }
    }
    return false;
}

// Resetting a connection needs CAP_NET_ADMIN and a kernel with socket destroy support.
bool CanResetConnections() {
    camera_test::SilentServer server;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(server.Port());
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const bool reset = connected && ResetOwnConnection(address.sin_addr.s_addr, server.Port());
    close(fd);
    return reset;
}

class HangupTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CanResetConnections()) {
            GTEST_SKIP() << "this process cannot reset TCP connections (needs CAP_NET_ADMIN and SOCK_DESTROY)";
        }
        camera::SetHangupCheckIntervalForTest(500ms);
        settings::SettingsState s;
        // Test-only limits, far below what the stored settings allow.
        s.camerasExt.WaitConnectionTime = 1;
        s.camerasExt.WaitNewFrameTime = 1;
        settings::CameraDescriptor camera{};
        camera.Type = camera::kIpCamera;
        platform::CopyToFixed(camera.Name, QStringLiteral("Молчун"));
        platform::CopyToFixed(camera.Source.Url, QString("http://127.0.0.1:%1/video.mjpg").arg(server_.Port()));
        camera::StoreCamera(s.cameraList, 0, camera);
        s.CurrentCameraIndex = 0;
        hub_.Publish(std::move(s));
    }
    void TearDown() override {
        camera_.StopCamera(true);
        term_.Set();
        if (watchdog_.joinable()) watchdog_.join();
        service_.Stop();
        camera::SetHangupCheckIntervalForTest(10s);
        camera::SetCloseSocketCommandForTest(nullptr);
    }

    // The close command done in this process, as the service would do it.
    void UseStandIn() {
        camera::SetCloseSocketCommandForTest([this](uint32_t address, uint16_t port) {
            const bool reset = ResetOwnConnection(address, port);
            resets_ += reset;
            return reset;
        });
    }
    void StalledOpenIsResetAndTheThreadRetries();

    camera_test::TempLog log_;
    camera_test::RecordingSink journal_;
    camera_test::SilentServer server_;
    camera_test::ServiceProcess service_;
    settings::SettingsHub hub_;
    platform::Event term_{true, false};
    std::thread watchdog_;
    std::atomic<int> resets_{0};
    camera::CameraPanel panel_;
    camera::CameraControl camera_{panel_, journal_.Journal(), hub_};
};

void HangupTest::StalledOpenIsResetAndTheThreadRetries() {
    watchdog_ = std::thread(camera::HangupDetectionThreadFunc, &term_, std::cref(journal_.Journal()), std::cref(hub_));
    camera_.StartCamera();
    ASSERT_TRUE(camera::CameraThreadExists());
    const auto started = Clock::now();

    ASSERT_TRUE(journal_.WaitFor("Ошибка открытия камеры", 1, 15s));
    EXPECT_EQ(server_.Accepted(), 1);
    const auto asked = journal_.TimeOf("Попытка закрытия соединения с IP-камерой", 1);
    const auto failed = journal_.TimeOf("Ошибка открытия камеры", 1);
    const double reaction = Seconds(asked - started);
    const double openFailure = Seconds(failed - asked);
    std::printf("close asked %.2f s after the open began; the blocked open failed %.2f s after that\n", reaction,
                openFailure);
    // Elapsed whole seconds beyond the 1 s limit, checked every 0.5 s.
    EXPECT_GE(reaction, 1.0);
    EXPECT_LE(reaction, 3.2);
    // Well inside the open time bound: the reset, not the time-out, ended the open.
    EXPECT_LT(openFailure, 2.0);
    EXPECT_TRUE(log_.Text().contains(QString("HangupDetectionThreadFunc(): IP-камера \"висит\". Попытка закрытия TCP "
                                             "соединений с 'http://127.0.0.1:%1/video.mjpg' -> 127.0.0.1:%1")
                                         .arg(server_.Port())));

    // The retry comes 5 s after the failure and stalls again.
    const auto until = Clock::now() + 10s;
    while (server_.Accepted() < 2 && Clock::now() < until) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(server_.Accepted(), 2);
    const double retry = Seconds(Clock::now() - failed);
    std::printf("retry connected %.2f s after the failed open\n", retry);
    EXPECT_GE(retry, 4.9);
    EXPECT_LT(retry, 6.5);

    // Stopping waits for the blocked open, which the watchdog ends within its window.
    const auto stopping = Clock::now();
    camera_.StopCamera(false);
    const double stop = Seconds(Clock::now() - stopping);
    std::printf("stop during a stalled open took %.2f s\n", stop);
    EXPECT_LT(stop, 4.0);
}

TEST_F(HangupTest, StandInResetsTheStalledOpenAndTheThreadRetries) {
    UseStandIn();
    StalledOpenIsResetAndTheThreadRetries();
    EXPECT_GE(resets_.load(), 1);
}

#ifdef OSTROVID_SVC_BINARY
TEST_F(HangupTest, ServiceResetsTheStalledOpenAndTheThreadRetries) {
    ASSERT_TRUE(service_.Start());
    StalledOpenIsResetAndTheThreadRetries();
    EXPECT_TRUE(log_.Text().contains("SendCloseSocketCommand successfully handled."));
}
#endif

}  // namespace
