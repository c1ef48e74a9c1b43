#include "tests/integration/program/switchable_camera.h"

#include "tests/support/loopback.h"

#include <opencv2/imgcodecs.hpp>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace testsupport {

namespace {

bool SendAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        size -= size_t(sent);
    }
    return true;
}

// Waits up to 100 ms for the fd to become readable.
bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 100) > 0;
}

}  // namespace

cv::Mat CameraFrame(const cv::Mat& face, int left) {
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(110, 120, 130));
    if (!face.empty()) face.copyTo(frame(cv::Rect(left, (480 - face.rows) / 2, face.cols, face.rows)));
    return frame;
}

SwitchableCamera::SwitchableCamera() {
    listenFd_ = ListenOnLoopback(&port_, 4);
    if (listenFd_ >= 0) thread_ = std::thread([this] { Run(); });
}

SwitchableCamera::~SwitchableCamera() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) close(listenFd_);
}

QString SwitchableCamera::Url() const { return QStringLiteral("http://127.0.0.1:%1/camera").arg(port_); }

void SwitchableCamera::Show(const cv::Mat& picture) {
    std::vector<unsigned char> jpeg;
    cv::imencode(".jpg", picture, jpeg, {cv::IMWRITE_JPEG_QUALITY, 90});
    std::lock_guard lock(mutex_);
    jpeg_ = std::move(jpeg);
}

void SwitchableCamera::Run() {
    while (!stop_) {
        if (!Readable(listenFd_)) continue;
        const int client = accept(listenFd_, nullptr, nullptr);
        if (client < 0) continue;
        Serve(client);
        close(client);
    }
}

void SwitchableCamera::Serve(int client) {
    // The request itself does not matter; read what came so the client is not reset.
    char request[4096];
    if (Readable(client)) (void)recv(client, request, sizeof request, 0);
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace;boundary=ffmpeg\r\nCache-Control: no-cache\r\n\r\n";
    if (!SendAll(client, head.data(), head.size())) return;
    auto next = std::chrono::steady_clock::now();
    while (!stop_) {
        std::vector<unsigned char> jpeg;
        {
            std::lock_guard lock(mutex_);
            jpeg = jpeg_;
        }
        if (!jpeg.empty()) {
            const std::string part =
                "--ffmpeg\r\nContent-type: image/jpeg\r\nContent-length: " + std::to_string(jpeg.size()) + "\r\n\r\n";
            if (!SendAll(client, part.data(), part.size()) || !SendAll(client, jpeg.data(), jpeg.size()) ||
                !SendAll(client, "\r\n", 2))
                return;
        }
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
}

}  // namespace testsupport
