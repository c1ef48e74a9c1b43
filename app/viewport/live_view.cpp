#include "app/viewport/live_view.h"

#include "app/recognition/recognized_data_event.h"
#include "app/recognition/state_request.h"
#include "platform/fixedtext.h"

#include <utility>

namespace viewport {

namespace {

ViewportSettings ViewportSettingsOf(const settings::SettingsState& s) {
    ViewportSettings v;
    v.maxSubject = int(s.recognition.MaxSubject);
    v.shortInvisibility = s.recognition.ShortInvisibility != 0;
    v.framedFace = s.viewFeatures.FramedFace != 0;
    v.waitConnectionTime = s.camerasExt.WaitConnectionTime;
    return v;
}

recognition::RecognitionRules RecognitionRulesOf(const settings::RecognitionSettings& r) {
    return {r.AssuranceDistance, r.RepeatForRecognition};
}

}  // namespace

LiveView::LiveView(camera::CameraWork& work, LiveSurface& surface, const settings::SettingsHub& settings,
                   const shell::Journal& journal, ViewportServices& services,
                   recognition::RememberedPersons& remembered, recognition::RecognizedPersonsList& list,
                   LiveViewCalls calls)
    : work_(work),
      surface_(surface),
      settings_(settings),
      journal_(journal),
      services_(services),
      calls_(std::move(calls)),
      processor_(work, surface, *this, journal, calls_.detect, calls_.dispatch, calls_.clock),
      events_(processor_.Tracker(), remembered, list, *this) {}

void LiveView::Tick() { processor_.Tick(calls_.cameraRunning(), ViewportSettingsOf(*settings_.Snapshot())); }

void LiveView::DiscardSubjects() {
    surface_.RemoveLabels();
    processor_.Reset();
}

bool LiveView::event(QEvent* e) {
    if (e->type() == recognition::RecognizedDataEvent::kType) {
        std::unique_ptr<recognition::RecognizedData> record =
            static_cast<recognition::RecognizedDataEvent*>(e)->TakeRecord();
        if (record) {
            const QString cameraName = platform::FromFixed(work_.descriptor.Name);
            events_.Handle(std::move(record), RecognitionRulesOf(*settings_.Get(&settings::SettingsState::recognition)),
                           calls_.clock.oleNow(), cameraName);
        }
        return true;
    }
    if (e->type() == recognition::StateRequestEvent::kType) {
        if (const auto request = static_cast<recognition::StateRequestEvent*>(e)->TakeRequest())
            processor_.AnswerStateRequest(*request, calls_.cameraRunning(), calls_.clock.oleNow());
        return true;
    }
    return QObject::event(e);
}

void LiveView::FaceDetected(const recognition::Subject& subject, const cv::Mat& frame) {
    services_.FaceDetected(subject, frame);
}

void LiveView::UnrecognizedSubjectVanished(const recognition::Subject& subject, double now) {
    services_.UnrecognizedSubjectVanished(subject, now, processor_.History());
}

void LiveView::PresenceEnded(const recognition::Subject& subject, double presenceSeconds) {
    services_.PresenceEnded(subject, presenceSeconds);
    surface_.RemoveLabel(subject.id);  // the subject is removed right after this
}

void LiveView::BroadcastCameraState(int operation) { services_.BroadcastCameraState(operation); }

bool LiveView::UnrecognizedActionsWanted() const { return services_.UnrecognizedActionsWanted(); }

bool LiveView::TakeSnapshotRequest() { return calls_.takeSnapshotRequest && calls_.takeSnapshotRequest(); }

void LiveView::AddSnapshotFaces(const cv::Mat& frame, std::span<const recognition::FrameFace> faces) {
    services_.AddSnapshotFaces(frame, faces);
}

void LiveView::PersonRecognized(const recognition::RecognitionReport& report) { services_.PersonRecognized(report); }

void LiveView::PersonUpdated(const recognition::RecognitionReport& report) { services_.PersonUpdated(report); }

void LiveView::PersonChanged(const recognition::PersonChange& change) { services_.PersonChanged(change); }

// The events mark the subject as labelled after its first update, which makes the label.
void LiveView::UpdateLabel(recognition::Subject& subject) {
    const recognition::LabelPoint position = LabelPosition(surface_.PictureOrigin(), subject.screen);
    if (!subject.hasLabel) {
        subject.lastLabelPosition = position;
        surface_.AddLabel(subject.id, position);
    } else if (subject.MoveLabel(position)) {
        surface_.MoveLabel(subject.id, position);
    }
    surface_.SetLabelText(subject.id, subject.labelText);
}

void LiveView::ShowLabel(recognition::Subject& subject) { surface_.SetLabelVisible(subject.id, true); }

void LiveView::ListEntryAdded() {
    if (calls_.listEntryAdded) calls_.listEntryAdded();
}

void LiveView::ListEntryChanged(const recognition::RecognizedListItem&) {
    if (calls_.listChanged) calls_.listChanged();
}

void LiveView::PostRecognitionJournal(shell::RecognitionIcon icon, const QString& eventText,
                                      const QString& description) {
    journal_.PostRecognition(icon, eventText, description);
}

void LiveView::DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& info) {
    services_.DoRecognizedPersonAlertsAndActions(info);
}

}  // namespace viewport
