#include "app/program_services.h"

#include "platform/fixedtext.h"

namespace app {

QString CurrentCameraName(const settings::SettingsState& s) {
    const int index = s.CurrentCameraIndex;
    if (index < 0 || index >= settings::kMaxCameras || uint32_t(index) >= s.cameraList.Count) return {};
    return platform::FromFixed(s.cameraList.Cameras[index].Name);
}

ProgramServices::ProgramServices(actions::ActionQueue& queue, actions::AlertOutputs& alerts,
                                 ProgramManagement& management, const recognition::FaceModels& models,
                                 const settings::SettingsHub& hub)
    : alerts_(alerts),
      actions_(queue, alerts, hub, CurrentCameraName),
      management_(management),
      snapshots_(models.MakeDescriber()) {}

void ProgramServices::FaceDetected(const recognition::Subject& subject, const cv::Mat& frame) {
    management_.FaceDetected(subject.id, frame, subject.rectangle);
}

void ProgramServices::PresenceEnded(const recognition::Subject& subject, double presenceSeconds) {
    management_.PresenceEnded(subject.id, subject.personId, subject.person.listNumber, presenceSeconds);
}

// The viewport's own operations: the camera seems hung (4) or works again (5).
void ProgramServices::BroadcastCameraState(int operation) {
    management_.BroadcastCameraState(camera::CameraState::Works, operation);
}

void ProgramServices::PersonRecognized(const recognition::RecognitionReport& report) {
    management_.PersonRecognized(report);
}

void ProgramServices::PersonUpdated(const recognition::RecognitionReport& report) { management_.PersonUpdated(report); }

void ProgramServices::PersonChanged(const recognition::PersonChange& change) { management_.PersonChanged(change); }

void ProgramServices::UnrecognizedSubjectVanished(const recognition::Subject& subject, double now,
                                                  const recognition::FrameHistory& history) {
    actions_.HandleUnrecognizedPersonEvent(subject, now, history);
}

bool ProgramServices::UnrecognizedActionsWanted() const { return actions_.UnrecognizedActionsWanted(); }

void ProgramServices::DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& info) {
    actions_.DoRecognizedPersonAlertsAndActions(info);
}

void ProgramServices::AddSnapshotFaces(const cv::Mat& frame, std::span<const recognition::FrameFace> faces) {
    if (alerts_.SoundAvailable()) alerts_.PlaySoundUnlessPlaying(actions::BuiltInSound::Snapshot);
    snapshots_.Describe(frame, faces);
}

}  // namespace app
