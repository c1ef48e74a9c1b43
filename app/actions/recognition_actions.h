#pragma once
// Purpose: what the operator configured for a recognition event, done: the sound and the spoken
//          text at once, the CSV line, the script and the mail as queued actions. The settings of
//          the person's list replace those for all lists action by action.
// Threads: the user-interface thread only. Nothing slow happens here: the face chip is copied
//          and the frames of an unrecognized person are referenced; the queue thread writes them.
//          Each event reads one settings snapshot, so a change is never seen half-applied.
// Owns: nothing; the queue, the alert outputs, the settings and the camera name source are the
//       caller's.

#include "app/actions/action_queue.h"
#include "app/actions/alert_outputs.h"
#include "app/actions/recognized_person_info.h"
#include "app/recognition/frame_history.h"
#include "app/recognition/subject.h"
#include "platform/contract.h"
#include "settings/settings_hub.h"

#include <QString>

#include <functional>
#include <vector>

namespace actions {

// A frame of the history that shows the subject, with the subject's rectangle in it.
struct Sighting {
    int slot = 0;
    recognition::FrameFace face;
};

// The history from its tail up to, but not including, its head (the newest snapshot is not
// searched): the first rectangle of the subject in each snapshot that has one, at most 30.
std::vector<Sighting> FindSightings(const recognition::FrameHistory& history, uint32_t subjectId);

class RecognitionActions {
public:
    // cameraName gives the running camera's name in the event's settings; it is asked once per
    // event. The hub must outlive this.
    using CameraName = std::function<QString(const settings::SettingsState& settings)>;
    RecognitionActions(ActionQueue& queue, AlertOutputs& alerts, const settings::SettingsHub& hub,
                       CameraName cameraName)
        : queue_(queue), alerts_(alerts), hub_(hub), cameraName_(std::move(cameraName)) {}

    void DoRecognizedPersonAlertsAndActions(const RecognizedPersonInfo& person);
    // True when the settings now ask for a script or a mail when an unrecognized subject leaves:
    // only then are the frames of the history ever read.
    bool UnrecognizedActionsWanted() const;
    // eventTime: OLE Automation date of the subject's leaving.
    void HandleUnrecognizedPersonEvent(const recognition::Subject& subject, double eventTime,
                                       const recognition::FrameHistory& history);

private:
    ActionQueue& queue_;
    AlertOutputs& alerts_;
    const settings::SettingsHub& hub_;
    CameraName cameraName_;
    platform::OwnerThread owner_;
};

}  // namespace actions
