// The stream test dialog offscreen: against ffmpeg serving a stream on a loopback port, against
// a port nobody listens on, and the refusals before the dialog opens. Message boxes go to a
// recording hook, so nothing here waits for an operator.

#include "app/ui/stream_test_dialog.h"
#include "app/camera/camera_list.h"
#include "app/camera/hangup_detection.h"
#include "app/camera/stream_address.h"
#include "platform/fixedtext.h"
#include "tests/integration/camera/stream_servers.h"
#include "tests/support/loopback.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A camera that accepts the connection and never answers, until its connection is reset (what
// the service does on the close command).
class HangingCamera {
public:
    HangingCamera() : listen_(testsupport::ListenOnLoopback(&port_)) {
        thread_ = std::thread([this] {
            while (!stop_ && client_ < 0) {
                pollfd p{listen_, POLLIN, 0};
                if (poll(&p, 1, 50) == 1) client_ = accept(listen_, nullptr, nullptr);
            }
        });
    }
    ~HangingCamera() {
        stop_ = true;
        thread_.join();
        if (client_ >= 0) close(client_);
        close(listen_);
    }
    uint16_t Port() const { return port_; }
    void Reset() {
        if (client_ >= 0) shutdown(client_, SHUT_RDWR);
    }

private:
    uint16_t port_ = 0;
    int listen_;
    std::atomic<int> client_{-1};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

camera::StreamTestParams IpCamera(const QString& url) {
    camera::StreamTestParams params;
    params.camera = camera::NewCameraDescriptor();
    params.camera.Type = camera::kIpCamera;
    platform::CopyToFixed(params.camera.Source.Url, url);
    return params;
}

// Runs the program's stream test service while `drive` is called every 50 ms with the open
// dialog until it returns true. A dialog still open after `limit` is cancelled as a failure.
struct DrivenRun {
    QStringList messages;
    int fromDialog = 0;  // messages the stream test dialog showed itself (not refusals before it)
    int dialogsSeen = 0;
    std::chrono::milliseconds took{0};

    void Run(const camera::StreamTestParams& params, const std::function<bool(ui::StreamTestDialog&)>& drive,
             std::chrono::milliseconds limit = 30s) {
        QElapsedTimer clock;
        clock.start();
        bool driven = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = dynamic_cast<ui::StreamTestDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            if (dialogsSeen == 0) dialogsSeen = 1;
            if (clock.elapsed() > limit.count()) {
                ADD_FAILURE() << "the stream test did not end in time";
                dialog->reject();
                poll.stop();
                return;
            }
            if (!driven) driven = drive(*dialog);
        });
        poll.start(50);
        const auto service = ui::StreamTestService([this](const QString& text, QWidget* parent) {
            messages.append(text);
            fromDialog += dynamic_cast<ui::StreamTestDialog*>(parent) != nullptr;
        });
        service(params, nullptr);
        took = std::chrono::milliseconds(clock.elapsed());
    }
};

TEST(StreamTestDialog, ShowsTheServedStreamTurnedAsEditedAndOkStopsIt) {
    camera_test::MjpegServer server(camera_test::FreeLoopbackPort());
    ASSERT_TRUE(server.Start());
    camera::StreamTestParams params = IpCamera(server.Url());
    params.camera.RotationFlag = 1;  // 640x480 served, 480x640 shown

    QString resolution;
    QSize picture;
    bool pictureShown = false;
    bool cancelDisabled = false;
    bool openAfterOk = false;
    DrivenRun run;
    run.Run(params, [&](ui::StreamTestDialog& dialog) {
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("resolution"));
        auto* shown = dialog.findChild<QLabel*>(QStringLiteral("StreamTest"));
        if (label == nullptr || shown == nullptr || label->text().isEmpty()) return false;
        resolution = label->text();
        picture = shown->size();
        pictureShown = !shown->pixmap().isNull();
        dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        cancelDisabled = !dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->isEnabled();
        openAfterOk = dialog.isVisible();  // it ends once the worker has stopped
        return true;
    });
    EXPECT_EQ(run.dialogsSeen, 1);
    EXPECT_EQ(resolution, QStringLiteral("Разрешение 480x640"));
    EXPECT_EQ(picture, QSize(180, 240));
    EXPECT_TRUE(pictureShown);
    EXPECT_TRUE(cancelDisabled);
    EXPECT_TRUE(openAfterOk);
    EXPECT_TRUE(run.messages.isEmpty()) << run.messages.join(QStringLiteral("; ")).toStdString();
    EXPECT_LT(run.took, 25s);
}

TEST(StreamTestDialog, StreamThatCannotOpenEndsWithItsMessageAndCloses) {
    DrivenRun run;
    run.Run(IpCamera(QStringLiteral("http://127.0.0.1:%1/video").arg(camera_test::FreeLoopbackPort())),
            [](ui::StreamTestDialog&) { return false; });
    EXPECT_EQ(run.messages, QStringList{QStringLiteral("Не удалось открыть IP-камеру")});
    EXPECT_EQ(run.fromDialog, 1);
}

TEST(StreamTestDialog, HungConnectionIsResetAfterTheEditedConnectionLimit) {
    HangingCamera hanging;
    std::atomic<int> closeCommands{0};
    std::atomic<uint32_t> closedAddress{0};
    std::atomic<uint16_t> closedPort{0};
    camera::SetCloseSocketCommandForTest([&](uint32_t address, uint16_t port) {
        ++closeCommands;
        closedAddress = address;
        closedPort = port;
        hanging.Reset();
        return true;
    });
    camera::StreamTestParams params = IpCamera(QStringLiteral("http://127.0.0.1:%1/video").arg(hanging.Port()));
    params.waitConnectionTime = 1;  // below the page's minimum, to keep the test short
    DrivenRun run;
    run.Run(params, [](ui::StreamTestDialog&) { return false; });
    camera::SetCloseSocketCommandForTest({});
    EXPECT_EQ(closeCommands.load(), 1);
    EXPECT_EQ(camera::DottedAddress(closedAddress), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(closedPort.load(), hanging.Port());
    EXPECT_EQ(run.messages, QStringList{QStringLiteral("Не удалось открыть IP-камеру")});
    // Reset once the limit has passed (between 1 and 3 s), well before the open's own time-out.
    EXPECT_GE(run.took, 1s);
    EXPECT_LT(run.took, 10s);
}

TEST(StreamTestDialog, RefusalsComeBeforeTheDialogOpens) {
    DrivenRun unknownHost;
    unknownHost.Run(IpCamera(QStringLiteral("rtsp://no-such-host.invalid/live")),
                    [](ui::StreamTestDialog&) { return false; });
    EXPECT_EQ(unknownHost.dialogsSeen, 0);
    EXPECT_EQ(unknownHost.fromDialog, 0);
    EXPECT_EQ(unknownHost.messages, QStringList{QStringLiteral("Невозможно определить IP-адрес хоста камеры.")});

    camera::StreamTestParams web;
    web.camera = camera::NewCameraDescriptor();
    web.camera.Source.Web.CaptureDeviceNumber = -1;
    platform::CopyToFixed(web.camera.Source.Web.DevicePath, QStringLiteral("no-such-camera-anywhere"));
    DrivenRun missing;
    missing.Run(web, [](ui::StreamTestDialog&) { return false; });
    EXPECT_EQ(missing.dialogsSeen, 0);
    EXPECT_EQ(missing.fromDialog, 0);
    EXPECT_EQ(missing.messages, QStringList{QStringLiteral("Отсутствует такая Web-камера")});
}

}  // namespace
