#include "app/program_management.h"

#include "app/actions/template_values.h"
#include "app/program_services.h"
#include "app/recognition/state_request.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "settings/settings_state.h"

#include <QCoreApplication>

namespace app {

namespace {

struct ManagementSettings {
    settings::ManagementServerSettings fixed;
    QStringList stations;
};

ManagementSettings CopyManagementSettings() {
    platform::CriticalSectionLock lock(settings::SettingsLock());
    const settings::SettingsState& s = settings::g_Settings();
    return {s.management, s.stations};
}

}  // namespace

management::CameraStatus RunningCameraStatus() {
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        if (camera::g_CameraStarted)
            return {platform::FromFixed(camera::g_CameraWork.descriptor.Name), camera::CameraState::Works};
    }
    return {CurrentCameraName(), camera::CameraState::Iddle};
}

ProgramManagement::ProgramManagement(const shell::Journal& journal, platform::Event& termEvent)
    : journal_(journal), termEvent_(termEvent) {
    camera::SetCameraStateBroadcaster(this);
}

ProgramManagement::~ProgramManagement() {
    camera::SetCameraStateBroadcaster(nullptr);
    StopServers(u"Destroy");
}

bool ProgramManagement::StartServers() {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the servers are started on the user-interface thread");
    const ManagementSettings settings = CopyManagementSettings();
    if (settings.fixed.AllowManagement && !StartTcpServer()) {
        WriteLog(QStringLiteral("Error. Can't create TcpServerThread."));
        return false;
    }
    // Discovery answers only for a station that can be managed.
    if (settings.fixed.AllowManagement && settings.fixed.AllowUdpLocation && !StartUdpResponder()) {
        WriteLog(QStringLiteral("Error. Can't create UdpServerThread."));
        return false;
    }
    return true;
}

bool ProgramManagement::StartTcpServer() {
    const ManagementSettings settings = CopyManagementSettings();
    management::TcpServerSettings server;
    server.tcpPort = uint16_t(settings.fixed.TcpPort);
    server.acceptConnectionFlag = settings.fixed.AcceptConnectionFlag == 1
                                      ? management::AcceptConnection::AllowedStationsOnly
                                      : management::AcceptConnection::AnyStation;
    server.allowedStations = settings.stations;
    serverStopping_.Reset();
    handler_ = std::make_unique<management::DocumentHandler>(platform::FromFixed(settings.fixed.Password), journal_,
                                                             *this, termEvent_, serverStopping_);
    tcpServer_ = std::make_unique<management::TcpServer>(*handler_, journal_, termEvent_,
                                                         [this](management::TcpServerState state, int sessions) {
                                                             if (status_) status_(state, sessions);
                                                         });
    if (!tcpServer_->Start(server)) {
        tcpServer_.reset();
        handler_.reset();
        return false;
    }
    std::lock_guard<std::mutex> lock(broadcasterLock_);
    broadcaster_ = std::make_unique<management::EventBroadcaster>(*tcpServer_);
    return true;
}

bool ProgramManagement::StartUdpResponder() {
    const ManagementSettings settings = CopyManagementSettings();
    udpResponder_ = std::make_unique<management::UdpResponder>(actions::ComputerNameAtStartup());
    if (udpResponder_->Start(uint16_t(settings.fixed.UdpPort))) return true;
    udpResponder_.reset();
    return false;
}

void ProgramManagement::StopServers(QStringView logPrefix) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the servers are stopped on the user-interface thread");
    StopTcpServer(logPrefix);
    StopUdpResponder(logPrefix);
}

bool ProgramManagement::RestartTcpServer(QStringView logPrefix) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the servers are restarted on the user-interface thread");
    StopTcpServer(logPrefix);
    if (!CopyManagementSettings().fixed.AllowManagement || StartTcpServer()) return true;
    WriteLog(QStringLiteral("%1: Error. Can't create TcpServerThread.").arg(logPrefix));
    return false;
}

bool ProgramManagement::RestartUdpServer(QStringView logPrefix) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the servers are restarted on the user-interface thread");
    StopUdpResponder(logPrefix);
    const ManagementSettings settings = CopyManagementSettings();
    if (!settings.fixed.AllowManagement || !settings.fixed.AllowUdpLocation || StartUdpResponder()) return true;
    WriteLog(QStringLiteral("%1: Error. Can't create UdpServerThread.").arg(logPrefix));
    return false;
}

void ProgramManagement::StopTcpServer(QStringView logPrefix) {
    if (!tcpServer_) return;
    {
        // No broadcast reaches the sessions from here on.
        std::lock_guard<std::mutex> lock(broadcasterLock_);
        broadcaster_.reset();
    }
    WriteLog(QStringLiteral("%1: Wait until TcpServerThread works...").arg(logPrefix));
    serverStopping_.Set();
    tcpServer_->Stop();
    tcpServer_.reset();
    handler_.reset();
    WriteLog(QStringLiteral("%1: TcpServerThread completed.").arg(logPrefix));
}

void ProgramManagement::StopUdpResponder(QStringView logPrefix) {
    if (!udpResponder_) return;
    WriteLog(QStringLiteral("%1: Wait until UdpServerThread works...").arg(logPrefix));
    udpResponder_->Stop();
    udpResponder_.reset();
    WriteLog(QStringLiteral("%1: UdpServerThread completed.").arg(logPrefix));
}

void ProgramManagement::WithBroadcaster(
    const std::function<void(management::EventBroadcaster&, const QString& cameraName)>& broadcast) {
    // The name is read first: the camera's lock is never taken inside the broadcaster's.
    const QString cameraName = RunningCameraStatus().name;
    std::lock_guard<std::mutex> lock(broadcasterLock_);
    if (broadcaster_) broadcast(*broadcaster_, cameraName);
}

void ProgramManagement::FaceDetected(uint32_t subjectId, const cv::Mat& frame, const recognition::FrameFace& face) {
    WithBroadcaster([&](management::EventBroadcaster& b, const QString& name) {
        b.BroadcastFaceDetected(name, subjectId, frame, face);
    });
}

void ProgramManagement::PersonRecognized(const recognition::RecognitionReport& report) {
    WithBroadcaster(
        [&](management::EventBroadcaster& b, const QString& name) { b.BroadcastPersonRecognized(name, report); });
}

void ProgramManagement::PersonUpdated(const recognition::RecognitionReport& report) {
    WithBroadcaster(
        [&](management::EventBroadcaster& b, const QString& name) { b.BroadcastPersonUpdated(name, report); });
}

void ProgramManagement::PersonChanged(const recognition::PersonChange& change) {
    WithBroadcaster(
        [&](management::EventBroadcaster& b, const QString& name) { b.BroadcastPersonChanged(name, change); });
}

void ProgramManagement::PresenceEnded(uint32_t subjectId, uint32_t personId, uint32_t listNumber,
                                      double presenceSeconds) {
    WithBroadcaster([&](management::EventBroadcaster& b, const QString& name) {
        b.BroadcastPresenceEnded(name, subjectId, personId, listNumber, presenceSeconds);
    });
}

void ProgramManagement::BroadcastCameraState(camera::CameraState state, int operation) {
    WithBroadcaster(
        [&](management::EventBroadcaster& b, const QString& name) { b.BroadcastCameraState(name, state, operation); });
}

management::CameraStatus ProgramManagement::CurrentCameraStatus() { return RunningCameraStatus(); }

bool ProgramManagement::PostStateRequest(std::shared_ptr<recognition::CameraStateRequest> request) {
    // The viewport outlives the sessions: the main frame stops the server before its windows go.
    QObject* viewport = viewport_ ? viewport_() : nullptr;
    if (viewport == nullptr) return false;
    QCoreApplication::postEvent(viewport, new recognition::StateRequestEvent(std::move(request)));
    return true;
}

}  // namespace app
