#pragma once
// Purpose: what the camera viewport hands on beyond the windows, for the running program: the
//          alerts and actions of recognized persons and of unrecognized persons that left.
// Threads: the user-interface thread only (the viewport calls it from its timer and events).
// Owns: the recognition event entries; the queue and the alert outputs are the program's.

#include "app/actions/recognition_actions.h"
#include "app/viewport/viewport_services.h"

namespace app {

// The running camera's name as the settings hold it; empty when none is chosen.
QString CurrentCameraName();

class ProgramServices final : public viewport::ViewportServices {
public:
    ProgramServices(actions::ActionQueue& queue, actions::AlertOutputs& alerts);

    void UnrecognizedSubjectVanished(const recognition::Subject& subject, double now,
                                     const recognition::FrameHistory& history) override;
    void DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& info) override;

private:
    actions::RecognitionActions actions_;
};

}  // namespace app
