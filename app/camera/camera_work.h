#pragma once
// The running camera: its process-wide record, the start and stop commands and the capture
// thread that keeps the camera open and pulls its frames, retrying every 5 s.
// Threads: the commands on the user-interface thread; the capture thread reports through the
// panel's PostShowAnimation only.

#include "app/camera/cv_stream.h"
#include "app/camera/stream_address.h"
#include "app/shell/journal.h"
#include "platform/sync.h"
#include "settings/groups.h"
#include "settings/settings_hub.h"

#include <cstdint>
#include <memory>

namespace camera {

// Camera states sent to the management clients.
enum class CameraState { Iddle, Works };

// Operations carried by the state events.
constexpr int kCameraOpStopped = 0;
constexpr int kCameraOpThreadStarted = 1;
constexpr int kCameraOpOpened = 2;
constexpr int kCameraOpClosed = 3;

// Where camera-state events go (the management server's sessions); none until one is set.
class CameraStateBroadcaster {
public:
    virtual ~CameraStateBroadcaster() = default;
    virtual void BroadcastCameraState(CameraState state, int operation) = 0;
};
void SetCameraStateBroadcaster(CameraStateBroadcaster* broadcaster);

// What the camera code asks of the camera panel and the main window; every call but
// PostShowAnimation comes from the user-interface thread. The defaults do nothing.
class CameraPanel {
public:
    virtual ~CameraPanel() = default;
    // The show-animation message (WM_USER+206), posted from the capture thread.
    virtual void PostShowAnimation() {}
    // Start: the connecting animation and the running icon in the status bar.
    virtual void ShowCameraStarted() {}
    // Stop: hide the picture window and the connecting animation.
    virtual void HideCameraPicture() {}
    // Stop: destroy the tracked subjects with their label windows and pictures.
    virtual void DiscardSubjects() {}
    // Stop, under CameraWorkLock: the snapshot request and the frame history's faces.
    virtual void ClearFrameState() {}
    // Stop: both status-bar icons and part 1 cleared, "Камера остановлена" in part 0.
    virtual void ShowCameraStopped() {}
    virtual void RefreshToolbar() {}
};

struct CameraWork {
    settings::CameraDescriptor descriptor{};
    StreamAddress address;
    int32_t opened = 0;
    int64_t lastActivity = 0;  // seconds since 1970
    int32_t hangNotice = 0;
    std::unique_ptr<CvStream> pCvSream;
    int32_t lastFaceCount = 0;
    std::unique_ptr<cv::Mat> lastFrame;
    double lastHistoryTime = 0;
};

extern CameraWork g_CameraWork;
// 1 from a successful start to the stop; under CameraWorkLock.
extern int32_t g_CameraStarted;
platform::CriticalSection& CameraWorkLock();
// Makes hCameraStopEvent (manual reset, set by StopCamera; the capture thread ends at its next
// wait) unless it exists. The start-up makes it with the program's other objects; a start finding
// none tries again. False, logged, when the system cannot make it. User-interface thread only.
bool MakeCameraStopEvent();

// The start and stop commands of the camera, reporting to the panel and the journal they were
// made with; both must outlive the capture thread. Each start takes the camera from one settings
// snapshot of the hub, which must outlive this. The capture thread is process-wide like
// g_CameraWork, so at most one of these runs a camera; its destruction stops that camera
// silently. User-interface thread only.
class CameraControl {
public:
    CameraControl(CameraPanel& panel, const shell::Journal& journal, const settings::SettingsHub& hub)
        : panel_(panel), journal_(journal), hub_(hub) {}
    ~CameraControl();
    CameraControl(const CameraControl&) = delete;
    CameraControl& operator=(const CameraControl&) = delete;

    // The "Старт" command: starts the current camera of the settings.
    void StartCamera();
    // The "Стоп" command (silent: no journal entry and no state event); waits for the capture
    // thread without time-out.
    void StopCamera(bool silent);

private:
    CameraPanel& panel_;
    const shell::Journal& journal_;
    const settings::SettingsHub& hub_;
};

// True while the capture thread exists.
bool CameraThreadExists();

void WorkCamThreadFunc(CameraWork* work, CameraPanel* panel, const shell::Journal& journal);

}  // namespace camera
