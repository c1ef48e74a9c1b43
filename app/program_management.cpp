#include "app/program_management.h"

#include "app/actions/template_values.h"
#include "app/program_services.h"
#include "app/recognition/state_request.h"
#include "platform/fixedtext.h"
#include "platform/log.h"

#include <QCoreApplication>

namespace app {

namespace {

// The camera that runs, with its name; else the one chosen in the settings, idle.
management::CameraStatus RunningCameraStatus(const settings::SettingsHub& hub) {
    {
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        if (camera::g_CameraStarted)
            return {platform::FromFixed(camera::g_CameraWork.descriptor.Name), camera::CameraState::Works};
    }
    return {CurrentCameraName(*hub.Snapshot()), camera::CameraState::Iddle};
}

}  // namespace

ProgramManagement::ProgramManagement(const shell::Journal& journal, platform::Event& termEvent,
                                     const settings::SettingsHub& hub)
    : journal_(journal), termEvent_(termEvent), hub_(hub) {
    camera::SetCameraStateBroadcaster(this);
}

ProgramManagement::~ProgramManagement() {
    camera::SetCameraStateBroadcaster(nullptr);
    StopServers(u"Destroy");
}

bool ProgramManagement::StartServers() {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the servers are started on the user-interface thread");
    const settings::SettingsSnapshot current = hub_.Snapshot();
    const settings::ManagementServerSettings& fixed = current->management;
    if (fixed.AllowManagement && !StartTcpServer(*current)) {
        WriteLog(QStringLiteral("Error. Can't create TcpServerThread."));
        return false;
    }
    // Discovery answers only for a station that can be managed.
    if (fixed.AllowManagement && fixed.AllowUdpLocation && !StartUdpResponder(fixed)) {
        WriteLog(QStringLiteral("Error. Can't create UdpServerThread."));
        return false;
    }
    return true;
}

bool ProgramManagement::StartTcpServer(const settings::SettingsState& current) {
    const settings::ManagementServerSettings& fixed = current.management;
    management::TcpServerSettings server;
    server.tcpPort = uint16_t(fixed.TcpPort);
    server.acceptConnectionFlag = fixed.AcceptConnectionFlag == 1 ? management::AcceptConnection::AllowedStationsOnly
                                                                  : management::AcceptConnection::AnyStation;
    server.allowedStations = current.stations;
    serverStopping_.Reset();
    handler_ = std::make_unique<management::DocumentHandler>(platform::FromFixed(fixed.Password), journal_, *this,
                                                             termEvent_, serverStopping_);
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

bool ProgramManagement::StartUdpResponder(const settings::ManagementServerSettings& fixed) {
    udpResponder_ = std::make_unique<management::UdpResponder>(actions::ComputerNameAtStartup());
    if (udpResponder_->Start(uint16_t(fixed.UdpPort))) return true;
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
    const settings::SettingsSnapshot current = hub_.Snapshot();
    if (!current->management.AllowManagement || StartTcpServer(*current)) return true;
    WriteLog(QStringLiteral("%1: Error. Can't create TcpServerThread.").arg(logPrefix));
    return false;
}

bool ProgramManagement::RestartUdpServer(QStringView logPrefix) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "the servers are restarted on the user-interface thread");
    StopUdpResponder(logPrefix);
    const auto fixed = hub_.Get(&settings::SettingsState::management);
    if (!fixed->AllowManagement || !fixed->AllowUdpLocation || StartUdpResponder(*fixed)) return true;
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
    const QString cameraName = RunningCameraStatus(hub_).name;
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

management::CameraStatus ProgramManagement::CurrentCameraStatus() { return RunningCameraStatus(hub_); }

bool ProgramManagement::PostStateRequest(std::shared_ptr<recognition::CameraStateRequest> request) {
    // The viewport outlives the sessions: the main frame stops the server before its windows go.
    QObject* viewport = viewport_ ? viewport_() : nullptr;
    if (viewport == nullptr) return false;
    QCoreApplication::postEvent(viewport, new recognition::StateRequestEvent(std::move(request)));
    return true;
}

}  // namespace app
