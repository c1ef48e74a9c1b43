#pragma once
// Purpose: what the camera viewport hands on beyond the windows, for the running program: the
//          management events, the alerts and actions of recognized persons and of
//          unrecognized persons that left, and the faces of a snapshot.
// Threads: the user-interface thread only (the viewport calls it from its timer and events).
// Owns: the recognition event entries and the snapshot describer with its thread; the queue, the
//       alert outputs and the management server are the program's.

#include "app/actions/recognition_actions.h"
#include "app/program_management.h"
#include "app/recognition/face_models.h"
#include "app/snapshots/snapshot_describer.h"
#include "app/viewport/viewport_services.h"

namespace app {

// The current camera's name in the settings; empty when none is chosen.
QString CurrentCameraName(const settings::SettingsState& settings);

class ProgramServices final : public viewport::ViewportServices {
public:
    // The snapshots are described on a thread of their own, through the models' network pool. The
    // recognition events read the hub's settings; it must outlive this.
    ProgramServices(actions::ActionQueue& queue, actions::AlertOutputs& alerts, ProgramManagement& management,
                    const recognition::FaceModels& models, const settings::SettingsHub& hub);

    void FaceDetected(const recognition::Subject& subject, const cv::Mat& frame) override;
    void PresenceEnded(const recognition::Subject& subject, double presenceSeconds) override;
    void BroadcastCameraState(int operation) override;
    void PersonRecognized(const recognition::RecognitionReport& report) override;
    void PersonUpdated(const recognition::RecognitionReport& report) override;
    void PersonChanged(const recognition::PersonChange& change) override;
    void UnrecognizedSubjectVanished(const recognition::Subject& subject, double now,
                                     const recognition::FrameHistory& history) override;
    bool UnrecognizedActionsWanted() const override;
    void DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& info) override;
    // The snapshot sound, then the faces go to the describer.
    void AddSnapshotFaces(const cv::Mat& frame, std::span<const recognition::FrameFace> faces) override;

    // The snapshot page takes the described faces from here.
    snapshots::SnapshotDescriber& Snapshots() { return snapshots_; }

private:
    actions::AlertOutputs& alerts_;
    actions::RecognitionActions actions_;
    ProgramManagement& management_;
    snapshots::SnapshotDescriber snapshots_;
};

}  // namespace app
