#pragma once
// Purpose: one camera's live view without a window. On its window's 30 ms tick it processes the
//          camera's newest frame (ViewportProcessor); it takes the prediction workers' results and
//          the management sessions' state requests, both posted to it as Qt events; it gives the
//          tracked subjects their identities and labels and hands on to the services what they
//          lead to. The window implements LiveSurface and paints what it is told.
// Threads: user-interface thread only; the workers and the sessions reach it by posting events
//          (an event still queued when it goes is freed by Qt, which releases its sender).
// Owns: the frame processing with its subject tracker, frame history and hang notice, and the
//       recognition events. Borrows the camera's record, the surface, the settings hub, the
//       journal, the services, the remembered persons and the recognized-persons list; all of
//       them outlive it.

#include "app/camera/camera_work.h"
#include "app/recognition/recognition_events.h"
#include "app/viewport/live_surface.h"
#include "app/viewport/viewport_processor.h"
#include "app/viewport/viewport_services.h"
#include "settings/settings_hub.h"

#include <QObject>

#include <functional>

namespace viewport {

// The calls a live view makes beyond its engine parts.
struct LiveViewCalls {
    ViewportProcessor::Detector detect;
    ViewportProcessor::Dispatcher dispatch;
    ViewportProcessor::Clock clock;
    // True while the camera's capture thread exists.
    std::function<bool()> cameraRunning;
    // The snapshot panel's request: true once when the operator asked for a snapshot.
    std::function<bool()> takeSnapshotRequest;
    // The recognized-persons list got a new top entry; an entry got a new picture.
    std::function<void()> listEntryAdded;
    std::function<void()> listChanged;
};

class LiveView final : public QObject, private ViewportEvents, private recognition::RecognitionOutputs {
public:
    LiveView(camera::CameraWork& work, LiveSurface& surface, const settings::SettingsHub& settings,
             const shell::Journal& journal, ViewportServices& services, recognition::RememberedPersons& remembered,
             recognition::RecognizedPersonsList& list, LiveViewCalls calls);

    // One tick of the window's timer, with the settings of the moment.
    void Tick();
    // The camera stopped: the labels, the subjects, the history's faces and the hang notice go.
    void DiscardSubjects();

    recognition::SubjectTracker& Tracker() { return processor_.Tracker(); }
    const ViewportProcessor& Processor() const { return processor_; }

protected:
    // RecognizedDataEvent and StateRequestEvent.
    bool event(QEvent* e) override;

private:
    // ViewportEvents
    void FaceDetected(const recognition::Subject& subject, const cv::Mat& frame) override;
    void UnrecognizedSubjectVanished(const recognition::Subject& subject, double now) override;
    void PresenceEnded(const recognition::Subject& subject, double presenceSeconds) override;
    void BroadcastCameraState(int operation) override;
    bool UnrecognizedActionsWanted() const override;
    bool TakeSnapshotRequest() override;
    void AddSnapshotFaces(const cv::Mat& frame, std::span<const recognition::FrameFace> faces) override;

    // RecognitionOutputs
    void PersonRecognized(const recognition::RecognitionReport& report) override;
    void PersonUpdated(const recognition::RecognitionReport& report) override;
    void PersonChanged(const recognition::PersonChange& change) override;
    void UpdateLabel(recognition::Subject& subject) override;
    void ShowLabel(recognition::Subject& subject) override;
    void ListEntryAdded() override;
    void ListEntryChanged(const recognition::RecognizedListItem& item) override;
    void PostRecognitionJournal(shell::RecognitionIcon icon, const QString& eventText,
                                const QString& description) override;
    void DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& info) override;

    camera::CameraWork& work_;
    LiveSurface& surface_;
    const settings::SettingsHub& settings_;
    const shell::Journal& journal_;
    ViewportServices& services_;
    LiveViewCalls calls_;
    ViewportProcessor processor_;
    recognition::RecognitionEvents events_;
};

}  // namespace viewport
