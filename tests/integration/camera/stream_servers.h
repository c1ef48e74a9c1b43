#pragma once
// Loopback servers for the camera tests: ffmpeg serving a local video file as an HTTP MJPEG
// stream (one client per server, as ffmpeg's -listen 1 does), and a TCP server that accepts
// connections and never sends a byte.

#include "tests/unit/camera/camera_test_support.h"

#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace camera_test {

// True while something listens on the loopback port (read from /proc/net/tcp, so that the
// check takes no connection away from a one-client server).
bool Listening(uint16_t port);

// A 640x480 video, black with a white 160x120 box in the top-left corner, made once per run.
QString BoxVideoFile();

class MjpegServer {
public:
    explicit MjpegServer(uint16_t port);
    ~MjpegServer();
    // Starts ffmpeg and waits until it listens; false when it does not within 10 s.
    bool Start();
    // SIGKILL, as a camera that loses power.
    void Kill();
    QString Url() const;

private:
    uint16_t port_;
    int pid_ = -1;
};

class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    uint16_t Port() const { return port_; }
    int Accepted() const { return accepted_.load(); }

private:
    void Run();
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::vector<int> clients_;
    std::thread thread_;
};

}  // namespace camera_test
