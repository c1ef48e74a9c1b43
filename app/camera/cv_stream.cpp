#include "app/camera/cv_stream.h"

#include "app/camera/camera_list.h"
#include "app/camera/video_devices.h"
#include "platform/fixedtext.h"

#include <opencv2/core.hpp>

#include <chrono>
#include <thread>

namespace camera {

namespace {

constexpr std::chrono::milliseconds kWebCameraSettle{1000};

bool IsOpen(CvStream& stream) {
    platform::CriticalSectionLock lock(stream.frameLock);
    return stream.capture.isOpened();
}

bool OpenWebCamera(CvStream& stream) {
    const QString path = platform::FromFixed(stream.devicePath);
    platform::CriticalSectionLock lock(DeviceLock());
    if (!path.isEmpty() && FindOpenDevicePath(path)) {
        return false;
    }
    stream.capture.open(stream.deviceNumber, cv::CAP_V4L2);
    if (stream.capture.isOpened() && !path.isEmpty()) {
        AddOpenDevicePath(path);
    }
    return stream.capture.isOpened();
}

}  // namespace

CvStream::~CvStream() { CloseStream(*this); }

void SetUpStream(CvStream& stream, const settings::CameraDescriptor& camera) {
    if (camera.Type == kIpCamera) {
        const QString url = platform::FromFixed(camera.Source.Url);
        if (url.size() < int(std::size(stream.url))) {
            platform::CopyToFixed(stream.url, url);
        }
    } else {
        const auto& web = camera.Source.Web;
        stream.deviceNumber = web.CaptureDeviceNumber;
        const QString path = platform::FromFixed(web.DevicePath);
        if (path.size() < int(std::size(stream.devicePath))) {
            platform::CopyToFixed(stream.devicePath, path);
        }
        if (web.PreferredResolutionWidth != 0 && web.PreferredResolutionHeight != 0 &&
            web.PreferredResolutionWidth != -1 && web.PreferredResolutionHeight != -1) {
            stream.preferredWidth = web.PreferredResolutionWidth;
            stream.preferredHeight = web.PreferredResolutionHeight;
        }
    }
    if (camera.RotationFlag >= 0 && camera.RotationFlag <= 3) {
        stream.rotation = camera.RotationFlag;
    }
    stream.mirroring = camera.Mirroring;
}

bool OpenStream(CvStream& stream) {
    if (IsOpen(stream)) {
        return true;
    }
    const QString url = platform::FromFixed(stream.url);
    const bool ipCamera = !url.isEmpty();
    if (ipCamera) {
        // No lock is held here: this may block until the timeout.
        stream.capture.open(url.toLocal8Bit().toStdString(), cv::CAP_FFMPEG,
                            {cv::CAP_PROP_OPEN_TIMEOUT_MSEC, int(kStreamOpenTimeout.count()),
                             cv::CAP_PROP_READ_TIMEOUT_MSEC, int(kStreamReadTimeout.count())});
    } else {
        OpenWebCamera(stream);
    }
    if (stream.capture.isOpened()) {
        if (stream.preferredWidth != -1 && stream.preferredHeight != -1) {
            stream.capture.set(cv::CAP_PROP_FRAME_WIDTH, stream.preferredWidth);
            stream.capture.set(cv::CAP_PROP_FRAME_HEIGHT, stream.preferredHeight);
        }
        const int width = int(stream.capture.get(cv::CAP_PROP_FRAME_WIDTH));
        const int height = int(stream.capture.get(cv::CAP_PROP_FRAME_HEIGHT));
        {
            platform::CriticalSectionLock lock(stream.frameLock);
            stream.actualWidth = width;
            stream.actualHeight = height;
        }
        if (!ipCamera) {
            std::this_thread::sleep_for(kWebCameraSettle);
        }
    }
    return IsOpen(stream);
}

void TransformFrame(const cv::Mat& source, int32_t rotation, int32_t mirroring, cv::Mat& target) {
    const bool mirror = mirroring != 0;
    switch (rotation) {
    case 1:
        cv::transpose(source, target);
        if (!mirror) {
            cv::flip(target, target, 0);
        }
        break;
    case 2:
        cv::transpose(source, target);
        cv::flip(target, target, mirror ? -1 : 1);
        break;
    case 3:
        cv::flip(source, target, mirror ? 0 : -1);
        break;
    default:
        if (mirror) {
            cv::flip(source, target, 1);
        } else {
            source.copyTo(target);
        }
        break;
    }
}

bool ReadFrame(CvStream& stream) {
    cv::Mat image;
    stream.capture >> image;
    if (image.empty() && stream.capture.isOpened()) {
        stream.capture >> image;
    }
    if (image.empty() || !stream.capture.isOpened()) {
        return false;
    }
    platform::CriticalSectionLock lock(stream.frameLock);
    TransformFrame(image, stream.rotation, stream.mirroring, stream.frame);
    stream.newFrameEvent.Set();
    return true;
}

void CloseStream(CvStream& stream) {
    platform::CriticalSectionLock lock(stream.frameLock);
    if (!stream.capture.isOpened()) {
        return;
    }
    {
        platform::CriticalSectionLock deviceLock(DeviceLock());
        stream.capture.release();
        const QString path = platform::FromFixed(stream.devicePath);
        if (!path.isEmpty()) {
            RemoveOpenDevicePath(path);
        }
    }
    stream.actualWidth = 0;
    stream.actualHeight = 0;
    stream.newFrameEvent.Reset();
}

}  // namespace camera
