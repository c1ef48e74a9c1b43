#pragma once
// Camera dialog services for a machine without video devices, so that tests never depend on
// the cameras plugged into the machine they run on.

#include "app/ui/camera_wizard.h"

namespace testsupport {

inline ui::CameraDialogServices NoVideoDevices() {
    ui::CameraDialogServices services;
    services.enumerateDevices = [](std::vector<camera::VideoInputDevice>* devices) {
        devices->clear();
        return false;
    };
    return services;
}

}  // namespace testsupport
