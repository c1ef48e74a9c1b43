#include "app/ui/cameras_page_rules.h"

#include "app/camera/camera_list.h"

namespace ui {

bool CamerasPageRules::Allowed(CameraListCommand command, int slot) const {
    const settings::CameraList& list = copy_.cameraList;
    const bool isCamera = slot >= 0 && slot < int(list.Count);
    switch (command) {
    case CameraListCommand::Edit:
        return camera::CanEditCamera(list, slot);
    case CameraListCommand::Delete:
        return isCamera;
    case CameraListCommand::MoveUp:
        return isCamera && slot > 0;
    case CameraListCommand::MoveDown:
        return isCamera && slot + 1 < int(list.Count);
    }
    return false;
}

int CamerasPageRules::Run(CameraListCommand command, int slot) {
    settings::CameraList& list = copy_.cameraList;
    switch (command) {
    case CameraListCommand::Edit:
        return -1;  // editing goes through the camera dialog and StoreCamera
    case CameraListCommand::Delete:
        return camera::DeleteCamera(list, slot) ? slot : -1;
    case CameraListCommand::MoveUp:
        return camera::MoveCameraUp(list, slot);
    case CameraListCommand::MoveDown:
        return camera::MoveCameraDown(list, slot);
    }
    return -1;
}

bool CamerasPageRules::StoreCamera(int slot, const settings::CameraDescriptor& camera) {
    return camera::StoreCamera(copy_.cameraList, slot, camera);
}

settings::CameraDescriptor CamerasPageRules::CameraForEdit(int slot) const {
    const settings::CameraList& list = copy_.cameraList;
    if (slot >= 0 && slot < int(list.Count)) {
        return list.Cameras[slot];
    }
    return camera::NewCameraDescriptor();
}

void CamerasPageRules::SetAutoStartLastCamera(bool on) { copy_.camerasExt.AutoStartLastCamera = on ? 1 : 0; }

NumberEntry CamerasPageRules::SetWaitConnectionTime(const QString& text) {
    NumberEntry entry = EnterLimitedNumber(text, kWaitConnectionMin, kWaitConnectionMax);
    copy_.camerasExt.WaitConnectionTime = int32_t(entry.value);
    return entry;
}

NumberEntry CamerasPageRules::SetWaitNewFrameTime(const QString& text) {
    NumberEntry entry = EnterLimitedNumber(text, kWaitNewFrameMin, kWaitNewFrameMax);
    copy_.camerasExt.WaitNewFrameTime = int32_t(entry.value);
    return entry;
}

}  // namespace ui
