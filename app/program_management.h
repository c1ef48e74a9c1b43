#pragma once
// Purpose: the management server as the running program has it: the TCP server with its document
//          handler, the UDP discovery responder, and the event broadcasts that the viewport, the
//          recognition events and the capture thread raise, in the camera's name.
// Threads: Start/Stop from the user-interface thread (the main frame's creation and destruction, a
//          settings restart); the broadcasts from the user-interface and capture threads; the camera
//          status and the state requests from the sessions' receive threads.
// Owns: the servers, their handler and broadcaster; none of the windows it reports to. Each start
//       and each camera status reads one snapshot of the settings hub.

#include "app/camera/camera_work.h"
#include "app/management/camera_state_source.h"
#include "app/management/document_handler.h"
#include "app/management/event_broadcaster.h"
#include "app/management/tcp_server.h"
#include "app/management/udp_responder.h"
#include "app/shell/journal.h"
#include "platform/contract.h"
#include "platform/sync.h"
#include "settings/settings_hub.h"

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace app {

class ProgramManagement final : public management::CameraStateSource, public camera::CameraStateBroadcaster {
public:
    // (running, sessions) for the status bar, from the server thread (WM_USER + 220).
    using ServerStatus = std::function<void(management::TcpServerState state, int sessions)>;

    // Registers as the capture thread's camera-state broadcaster until destroyed. The journal,
    // termEvent (hTermEvent) and the hub outlive this.
    ProgramManagement(const shell::Journal& journal, platform::Event& termEvent, const settings::SettingsHub& hub);
    ~ProgramManagement() override;
    ProgramManagement(const ProgramManagement&) = delete;
    ProgramManagement& operator=(const ProgramManagement&) = delete;

    // Set before the servers start: the window state requests go to (null while it does not
    // exist; it must outlive the servers) and where the status is shown.
    void SetViewport(std::function<QObject*()> viewport) { viewport_ = std::move(viewport); }
    void SetServerStatus(ServerStatus status) { status_ = std::move(status); }

    // The servers the settings allow, as the main frame's creation starts them; false (logged) when
    // a thread could not be made.
    bool StartServers();
    // Both servers, each waited for with "<logPrefix>: Wait until ... works..." and "... completed.".
    void StopServers(QStringView logPrefix);
    // One server after its settings changed: stopped when it runs (logged as StopServers does),
    // started again when the settings allow it; false (logged "<logPrefix>: Error. Can't create
    // ...") when its thread could not be made. The server then stays off until the next restart.
    bool RestartTcpServer(QStringView logPrefix);
    bool RestartUdpServer(QStringView logPrefix);

    // The viewport's and the recognition events' broadcasts (user-interface thread).
    void FaceDetected(uint32_t subjectId, const cv::Mat& frame, const recognition::FrameFace& face);
    void PersonRecognized(const recognition::RecognitionReport& report);
    void PersonUpdated(const recognition::RecognitionReport& report);
    void PersonChanged(const recognition::PersonChange& change);
    void PresenceEnded(uint32_t subjectId, uint32_t personId, uint32_t listNumber, double presenceSeconds);

    // camera::CameraStateBroadcaster: the capture thread, the viewport (4, 5) and the camera stop.
    void BroadcastCameraState(camera::CameraState state, int operation) override;

    // management::CameraStateSource
    management::CameraStatus CurrentCameraStatus() override;
    bool PostStateRequest(std::shared_ptr<recognition::CameraStateRequest> request) override;

private:
    // With the settings of the start that asks.
    bool StartTcpServer(const settings::SettingsState& current);
    bool StartUdpResponder(const settings::ManagementServerSettings& fixed);
    void StopTcpServer(QStringView logPrefix);
    void StopUdpResponder(QStringView logPrefix);
    // Runs `broadcast` with the running server's broadcaster and the camera's name; nothing while
    // no server runs. Broadcasts never wait on a client, so holding the lock delays no one for long.
    void WithBroadcaster(
        const std::function<void(management::EventBroadcaster&, const QString& cameraName)>& broadcast);

    const shell::Journal& journal_;
    platform::Event& termEvent_;
    const settings::SettingsHub& hub_;
    // Set while a server is stopped with the program going on: a camera request stops waiting for
    // the viewport, whose thread is the one waiting for the sessions.
    platform::Event serverStopping_{true, false};
    std::function<QObject*()> viewport_;
    ServerStatus status_;

    std::unique_ptr<management::DocumentHandler> handler_;
    std::unique_ptr<management::TcpServer> tcpServer_;
    std::unique_ptr<management::UdpResponder> udpResponder_;
    std::mutex broadcasterLock_;
    std::unique_ptr<management::EventBroadcaster> broadcaster_;  // under broadcasterLock_
    platform::OwnerThread owner_;
};

}  // namespace app
