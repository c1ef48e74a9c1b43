#pragma once
// The worker behind the stream test of the camera settings: its own stream, opened from the
// camera being edited, read until the dialog stops it, with the error text the dialog shows,
// and the no-frame watch that asks the service to reset a hung IP camera connection.

#include "app/camera/cv_stream.h"
#include "app/camera/stream_address.h"
#include "settings/groups.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace camera {

struct StreamTestParams {
    settings::CameraDescriptor camera{};  // type, device number and path, size wish, URL, rotation, mirroring
    int32_t waitConnectionTime = 60;      // the limits being edited in the sheet
    int32_t waitNewFrameTime = 15;
};

class StreamTestWorker {
public:
    // What the dialog receives; both come from the test thread (the dialog posts them on).
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void StreamOpened(int width, int height) = 0;  // WM_USER+201
        virtual void StreamTestFinished() = 0;                 // WM_USER+200
    };

    StreamTestWorker(const StreamTestParams& params, Listener* listener);
    ~StreamTestWorker();
    StreamTestWorker(const StreamTestWorker&) = delete;
    StreamTestWorker& operator=(const StreamTestWorker&) = delete;

    // IP camera: the address and port from the URL; false when the host has no address.
    bool ResolveAddress();
    const StreamAddress& Address() const { return address_; }

    // Starts the test thread; false when it cannot start.
    bool Start();
    // Sets the stop flag to the dialog's command (OK or cancel).
    void RequestStop(int command);
    int StopCommand() const { return stop_.load(); }
    // Waits for the test thread.
    void Join();

    // The display timer (every 100 ms): takes the new frame, if any, without waiting; otherwise,
    // for an IP camera with a known port, runs the no-frame watch at the given time (seconds).
    // The close command of a hung camera goes out on a thread of its own: the timer runs on the
    // window's thread, which never waits for the service.
    bool Tick(int64_t now, cv::Mat* frame);

    // Empty while no error happened; read once the test has finished.
    QString ErrorText() const;
    CvStream& Stream() { return stream_; }

private:
    void Run();
    void SetError(const QString& text);
    // One close command at a time; a request while one is out is dropped (the watch fires again).
    void SendCloseInBackground();

    StreamTestParams params_;
    Listener* listener_;
    CvStream stream_;
    StreamAddress address_;
    std::atomic<int> stop_{0};
    mutable std::mutex errorMutex_;
    QString error_;
    std::thread thread_;
    std::thread closer_;
    std::atomic<bool> closing_{false};
    bool frameSeen_ = false;
    int64_t noFrameSince_ = 0;
};

}  // namespace camera
