#pragma once
// A loopback HTTP camera whose picture the test changes while it streams: an MJPEG stream laid
// out as ffmpeg's mpjpeg muxer writes it, ten frames a second, to one client at a time (a
// client that reconnects gets the stream again).

#include <opencv2/core/mat.hpp>

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace testsupport {

// A plain 640x480 frame with `face` in it at column `left`; an empty face gives an empty view.
cv::Mat CameraFrame(const cv::Mat& face, int left);

class SwitchableCamera {
public:
    SwitchableCamera();
    ~SwitchableCamera();
    SwitchableCamera(const SwitchableCamera&) = delete;
    SwitchableCamera& operator=(const SwitchableCamera&) = delete;

    bool Listening() const { return listenFd_ >= 0; }
    QString Url() const;
    // The frames sent from now on.
    void Show(const cv::Mat& picture);

private:
    void Run();
    void Serve(int client);

    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<unsigned char> jpeg_;
    std::thread thread_;
};

}  // namespace testsupport
