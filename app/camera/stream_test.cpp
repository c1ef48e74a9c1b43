#include "app/camera/stream_test.h"

#include "app/camera/camera_list.h"
#include "app/camera/hangup_detection.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/log_masking.h"

#include <chrono>
#include <system_error>

namespace camera {

StreamTestWorker::StreamTestWorker(const StreamTestParams& params, Listener* listener)
    : params_(params), listener_(listener) {
    SetUpStream(stream_, params_.camera);
}

StreamTestWorker::~StreamTestWorker() {
    if (thread_.joinable()) {
        RequestStop(-1);
        thread_.join();
    }
    // Bounded by the channel's reply limit.
    if (closer_.joinable()) closer_.join();
}

bool StreamTestWorker::ResolveAddress() {
    ResolveStreamAddress(platform::FromFixed(params_.camera.Source.Url), &address_);
    return AddressKnown(address_.address);
}

bool StreamTestWorker::Start() {
    try {
        thread_ = platform::StartNamedThread("TestVideoStream", [this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void StreamTestWorker::RequestStop(int command) { stop_.store(command); }

void StreamTestWorker::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

QString StreamTestWorker::ErrorText() const {
    std::lock_guard<std::mutex> lock(errorMutex_);
    return error_;
}

void StreamTestWorker::SetError(const QString& text) {
    std::lock_guard<std::mutex> lock(errorMutex_);
    error_ = text.left(1023);
}

void StreamTestWorker::Run() {
    const bool ipCamera = params_.camera.Type == kIpCamera;
    if (!OpenStream(stream_)) {
        SetError(ipCamera ? QStringLiteral("Не удалось открыть IP-камеру")
                          : QStringLiteral("Не удалось открыть Web-камеру"));
    } else {
        int width = 0;
        int height = 0;
        {
            platform::CriticalSectionLock lock(stream_.frameLock);
            width = stream_.actualWidth;
            height = stream_.actualHeight;
        }
        listener_->StreamOpened(width, height);
        const auto pause = std::chrono::milliseconds(ipCamera ? 10 : 80);
        while (stop_.load() == 0) {
            if (!ReadFrame(stream_)) {
                SetError(QStringLiteral("Не удалось получить кадр из потока"));
                break;
            }
            std::this_thread::sleep_for(pause);
        }
    }
    CloseStream(stream_);
    listener_->StreamTestFinished();
}

bool StreamTestWorker::Tick(int64_t now, cv::Mat* frame) {
    if (stop_.load() != 0) {
        return false;
    }
    {
        platform::CriticalSectionLock lock(stream_.frameLock);
        if (stream_.newFrameEvent.Wait(0)) {
            frameSeen_ = true;
            noFrameSince_ = 0;
            stream_.frame.copyTo(*frame);
            return true;
        }
    }
    if (params_.camera.Type != kIpCamera || address_.port == 0) {
        return false;
    }
    if (noFrameSince_ == 0) {
        noFrameSince_ = now;
        return false;
    }
    if (CameraHungUp(now, noFrameSince_, frameSeen_, params_.waitConnectionTime, params_.waitNewFrameTime)) {
        noFrameSince_ = 0;
        WriteLog(QStringLiteral("TestVideoStreamDlgProc(): IP-камера \"висит\". Попытка закрытия TCP соединений с "
                                "'%1' -> %2:%3")
                     .arg(settings::CameraUrlForLog(platform::FromFixed(params_.camera.Source.Url)),
                          DottedAddress(address_.address))
                     .arg(address_.port));
        SendCloseInBackground();
    }
    return false;
}

void StreamTestWorker::SendCloseInBackground() {
    if (closing_.exchange(true)) return;
    // The previous command has finished (it cleared the flag last): this join does not wait.
    if (closer_.joinable()) closer_.join();
    const uint32_t address = address_.address;
    const uint16_t port = address_.port;
    try {
        closer_ = platform::StartNamedThread("TestStreamClose", [this, address, port] {
            SendCloseCommand(address, port);
            closing_ = false;
        });
    } catch (const std::system_error&) {
        closing_ = false;
    }
}

}  // namespace camera
