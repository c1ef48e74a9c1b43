#include "app/camera/hangup_detection.h"

#include "app/camera/camera_list.h"
#include "app/camera/camera_work.h"
#include "app/shell/journal.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/log_masking.h"
#include "settings/svc_channel.h"

#include <atomic>
#include <ctime>
#include <mutex>

namespace camera {

namespace {

using namespace shell::literals;

constexpr std::chrono::milliseconds kCheckInterval{10000};

std::atomic<std::chrono::milliseconds> g_checkInterval{kCheckInterval};
std::mutex g_commandMutex;
CloseSocketCommand g_closeCommand;

}  // namespace

bool SendCloseCommand(uint32_t address, uint16_t port) {
    CloseSocketCommand command;
    {
        std::lock_guard<std::mutex> lock(g_commandMutex);
        command = g_closeCommand;
    }
    return command ? command(address, port) : settings::SendCloseSocketCommand(address, port);
}

void SetHangupCheckIntervalForTest(std::chrono::milliseconds interval) { g_checkInterval.store(interval); }

void SetCloseSocketCommandForTest(CloseSocketCommand command) {
    std::lock_guard<std::mutex> lock(g_commandMutex);
    g_closeCommand = std::move(command);
}

bool CameraHungUp(int64_t now, int64_t lastActivity, bool opened, int32_t waitConnectionTime,
                  int32_t waitNewFrameTime) {
    const int64_t elapsed = now - lastActivity;
    return elapsed > (opened ? waitNewFrameTime : waitConnectionTime);
}

bool CheckCameraHangup(const shell::Journal& journal, const settings::CamerasExtParam& limits, int64_t now) {
    // The state is copied under the lock and the service asked after it is released: the viewport
    // takes this lock on every tick and must never wait for the service's answer.
    QString url;
    StreamAddress address;
    {
        platform::CriticalSectionLock lock(CameraWorkLock());
        const CameraWork& work = g_CameraWork;
        if (g_CameraStarted == 0 || work.descriptor.Type != kIpCamera || work.address.port == 0 ||
            work.lastActivity == 0) {
            return false;
        }
        if (!CameraHungUp(now, work.lastActivity, work.opened != 0, limits.WaitConnectionTime,
                          limits.WaitNewFrameTime)) {
            return false;
        }
        url = settings::CameraUrlForLog(platform::FromFixed(work.descriptor.Source.Url));
        address = work.address;
    }
    WriteLog(QStringLiteral("HangupDetectionThreadFunc(): IP-камера \"висит\". Попытка закрытия TCP соединений с "
                            "'%1' -> %2:%3")
                 .arg(url, DottedAddress(address.address))
                 .arg(address.port));
    journal.PostCamera(shell::CameraIcon::Warning, u"Попытка закрытия соединения с IP-камерой"_jt,
                       u"Камера \"висит\""_jt, shell::StatusBar::Show, shell::StatusIcon::Warning);
    SendCloseCommand(address.address, address.port);
    return true;
}

void HangupDetectionThreadFunc(platform::Event* termEvent, const shell::Journal& journal,
                               const settings::SettingsHub& hub) {
    WriteLog(QStringLiteral("HangupDetectionThreadFunc started."));
    while (!termEvent->Wait(g_checkInterval.load())) {
        CheckCameraHangup(journal, *hub.Get(&settings::SettingsState::camerasExt), int64_t(std::time(nullptr)));
    }
    WriteLog(QStringLiteral("HangupDetectionThreadFunc: hTermEvent signaled."));
    WriteLog(QStringLiteral("HangupDetectionThreadFunc completed."));
}

}  // namespace camera
