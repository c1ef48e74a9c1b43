#include "app/camera/camera_list.h"
#include "app/camera/camera_work.h"
#include "app/camera/cv_stream.h"
#include "app/camera/stream_test.h"
#include "platform/fixedtext.h"
#include "settings/settings_hub.h"
#include "tests/integration/camera/stream_servers.h"
#include "tests/unit/camera/camera_test_support.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Mean brightness of a quarter-sized corner region: the white box makes its corner bright.
double Corner(const cv::Mat& frame, bool bottom, bool right) {
    const int w = frame.cols / 8;
    const int h = frame.rows / 8;
    const cv::Rect r(right ? frame.cols - w : 0, bottom ? frame.rows - h : 0, w, h);
    return cv::mean(frame(r))[0];
}

// Opens the served stream with the given rotation and mirroring and reads a few frames.
cv::Mat ReadServedFrame(int rotation, int mirroring) {
    camera_test::MjpegServer server(camera_test::FreeLoopbackPort());
    EXPECT_TRUE(server.Start());
    settings::CameraDescriptor camera{};
    camera.Type = camera::kIpCamera;
    platform::CopyToFixed(camera.Source.Url, server.Url());
    camera.RotationFlag = rotation;
    camera.Mirroring = mirroring;
    camera::CvStream stream;
    camera::SetUpStream(stream, camera);
    if (!camera::OpenStream(stream)) {
        ADD_FAILURE() << "stream did not open";
        return {};
    }
    EXPECT_EQ(stream.actualWidth, 640);
    EXPECT_EQ(stream.actualHeight, 480);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(camera::ReadFrame(stream));
    }
    EXPECT_TRUE(stream.newFrameEvent.Wait(0));
    cv::Mat frame;
    {
        platform::CriticalSectionLock lock(stream.frameLock);
        frame = stream.frame.clone();
    }
    camera::CloseStream(stream);
    EXPECT_EQ(stream.actualWidth, 0);
    EXPECT_FALSE(stream.newFrameEvent.Wait(0));
    return frame;
}

TEST(ServedStream, FramesArriveTurnedAndMirroredAsConfigured) {
    const cv::Mat plain = ReadServedFrame(0, 0);
    ASSERT_EQ(plain.cols, 640);
    ASSERT_EQ(plain.rows, 480);
    EXPECT_GT(Corner(plain, false, false), 200);
    EXPECT_LT(Corner(plain, false, true), 50);
    EXPECT_LT(Corner(plain, true, false), 50);

    const cv::Mat left = ReadServedFrame(1, 0);  // 90° to the left: top-left goes to bottom-left
    ASSERT_EQ(left.cols, 480);
    ASSERT_EQ(left.rows, 640);
    EXPECT_GT(Corner(left, true, false), 200);
    EXPECT_LT(Corner(left, false, false), 50);

    const cv::Mat mirrored = ReadServedFrame(0, 1);
    EXPECT_GT(Corner(mirrored, false, true), 200);
    EXPECT_LT(Corner(mirrored, false, false), 50);

    const cv::Mat right = ReadServedFrame(2, 0);  // 90° to the right: top-left goes to top-right
    ASSERT_EQ(right.cols, 480);
    EXPECT_GT(Corner(right, false, true), 200);

    const cv::Mat upside = ReadServedFrame(3, 1);  // mirrored, then 180°: bottom-left
    EXPECT_GT(Corner(upside, true, false), 200);
}

class WorkerListener : public camera::StreamTestWorker::Listener {
public:
    void StreamOpened(int width, int height) override {
        std::lock_guard<std::mutex> lock(mutex);
        openedWidth = width;
        openedHeight = height;
    }
    void StreamTestFinished() override {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        changed.notify_all();
    }
    bool WaitFinished(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return finished; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    int openedWidth = 0;
    int openedHeight = 0;
    bool finished = false;
};

camera::StreamTestParams IpParams(const QString& url) {
    camera::StreamTestParams params;
    params.camera.Type = camera::kIpCamera;
    platform::CopyToFixed(params.camera.Source.Url, url);
    return params;
}

TEST(StreamTestWorker, ShowsFramesUntilStoppedAndReportsFailures) {
    camera_test::MjpegServer server(camera_test::FreeLoopbackPort());
    ASSERT_TRUE(server.Start());
    WorkerListener listener;
    camera::StreamTestWorker worker(IpParams(server.Url()), &listener);
    ASSERT_TRUE(worker.ResolveAddress());
    ASSERT_TRUE(worker.Start());
    cv::Mat frame;
    bool gotFrame = false;
    for (int i = 0; i < 200 && !gotFrame; ++i) {
        std::this_thread::sleep_for(100ms);
        gotFrame = worker.Tick(std::time(nullptr), &frame);
    }
    ASSERT_TRUE(gotFrame);
    EXPECT_EQ(frame.cols, 640);
    worker.RequestStop(1);
    ASSERT_TRUE(listener.WaitFinished(5s));
    worker.Join();
    EXPECT_EQ(listener.openedWidth, 640);
    EXPECT_EQ(listener.openedHeight, 480);
    EXPECT_EQ(worker.ErrorText(), "");
    EXPECT_EQ(worker.StopCommand(), 1);

    // Nothing listens any more: the open fails with its own text.
    WorkerListener failed;
    camera::StreamTestWorker refused(IpParams(QString("http://127.0.0.1:%1/v").arg(camera_test::FreeLoopbackPort())),
                                     &failed);
    ASSERT_TRUE(refused.Start());
    ASSERT_TRUE(failed.WaitFinished(25s));
    refused.Join();
    EXPECT_EQ(refused.ErrorText(), "Не удалось открыть IP-камеру");
    EXPECT_EQ(failed.openedWidth, 0);
}

TEST(ServedStream, LostServerClosesTheCameraAndItReconnectsFiveSecondsLater) {
    camera_test::TempLog log;
    camera_test::RecordingSink journal;
    const uint16_t port = camera_test::FreeLoopbackPort();
    auto server = std::make_unique<camera_test::MjpegServer>(port);
    ASSERT_TRUE(server->Start());
    settings::SettingsState s;
    settings::CameraDescriptor camera{};
    camera.Type = camera::kIpCamera;
    platform::CopyToFixed(camera.Name, QStringLiteral("Вход"));
    platform::CopyToFixed(camera.Source.Url, server->Url());
    ASSERT_TRUE(camera::StoreCamera(s.cameraList, 0, camera));
    s.CurrentCameraIndex = 0;
    const settings::SettingsHub hub(std::move(s));
    camera::CameraPanel panel;
    camera::CameraControl control(panel, journal.Journal(), hub);
    control.StartCamera();
    ASSERT_TRUE(camera::CameraThreadExists());
    ASSERT_TRUE(journal.WaitFor("Разрешение камеры", 1, 20s));
    for (const auto& e : journal.Entries()) {
        if (e.eventText == "Разрешение камеры") {
            EXPECT_EQ(e.description, "640x480");
        }
    }
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        EXPECT_EQ(camera::g_CameraWork.opened, 1);
    }

    const auto killed = Clock::now();
    server->Kill();
    ASSERT_TRUE(journal.WaitFor("Ошибка получения кадра из потока", 1, 70s));
    const auto failed = journal.TimeOf("Ошибка получения кадра из потока", 1);
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        EXPECT_EQ(camera::g_CameraWork.opened, 0);
    }
    server = std::make_unique<camera_test::MjpegServer>(port);
    ASSERT_TRUE(server->Start());
    ASSERT_TRUE(journal.WaitFor("Камера открыта", 2, 20s));
    const auto reopened = journal.TimeOf("Камера открыта", 2);
    const double readFailure = Seconds(failed - killed);
    const double reconnect = Seconds(reopened - failed);
    std::printf("read failure %.2f s after the server was killed; reopened %.2f s after the failure\n", readFailure,
                reconnect);
    EXPECT_GE(reconnect, 4.9);
    EXPECT_LT(reconnect, 8.0);
    EXPECT_EQ(journal.Count("Ошибка открытия камеры"), 0);  // the server was back before the retry
    ASSERT_TRUE(journal.WaitFor("Разрешение камеры", 2, 10s));

    control.StopCamera(false);
    EXPECT_FALSE(camera::CameraThreadExists());
    const QString text = log.Text();
    for (const char* line :
         {"WorkCamThreadFunc: Камера открыта. OK.", "WorkCamThreadFunc: Ошибка получения кадра из потока.",
          "WorkCamThreadFunc: Закрытие камеры.",
          "WorkCamThreadFunc: Камера закрыта. Пауза перед следующей попыткой открытия..."}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line;
    }
}

}  // namespace
