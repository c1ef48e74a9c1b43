#include "app/program_services.h"

#include "platform/fixedtext.h"
#include "settings/settings_state.h"

namespace app {

QString CurrentCameraName() {
    platform::CriticalSectionLock lock(settings::SettingsLock());
    const settings::SettingsState& s = settings::g_Settings();
    const int index = s.CurrentCameraIndex;
    if (index < 0 || index >= settings::kMaxCameras || uint32_t(index) >= s.cameraList.Count) return {};
    return platform::FromFixed(s.cameraList.Cameras[index].Name);
}

ProgramServices::ProgramServices(actions::ActionQueue& queue, actions::AlertOutputs& alerts)
    : actions_(queue, alerts, CurrentCameraName) {}

void ProgramServices::UnrecognizedSubjectVanished(const recognition::Subject& subject, double now,
                                                  const recognition::FrameHistory& history) {
    actions_.HandleUnrecognizedPersonEvent(subject, now, history);
}

void ProgramServices::DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& info) {
    actions_.DoRecognizedPersonAlertsAndActions(info);
}

}  // namespace app
