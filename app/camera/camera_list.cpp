#include "app/camera/camera_list.h"

#include "app/camera/stream_address.h"
#include "platform/fixedtext.h"

#include <cstring>
#include <utility>

namespace camera {

namespace {

bool IsCameraSlot(const CameraList& list, int slot) { return slot >= 0 && slot < int(list.Count); }

}  // namespace

const FrameSizeChoice kFrameSizeChoices[kFrameSizeChoiceCount] = {
    {u"Авто", -1, -1},          {u"Задается вручную", 0, 0}, {u"320x240", 320, 240},     {u"640x480", 640, 480},
    {u"800x600", 800, 600},     {u"960x720", 960, 720},      {u"1024x600", 1024, 600},   {u"1024x768", 1024, 768},
    {u"1280x720", 1280, 720},   {u"1280x800", 1280, 800},    {u"1280x960", 1280, 960},   {u"1280x1024", 1280, 1024},
    {u"1600x900", 1600, 900},   {u"1600x1000", 1600, 1000},  {u"1600x1200", 1600, 1200}, {u"1920x1080", 1920, 1080},
    {u"1920x1140", 1920, 1140}, {u"1920x1440", 1920, 1440},  {u"2560x1140", 2560, 1140},
};

int FrameSizeChoiceIndex(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return kFrameSizeAuto;
    }
    for (int i = kFrameSizeManual + 1; i < kFrameSizeChoiceCount; ++i) {
        if (kFrameSizeChoices[i].width == width && kFrameSizeChoices[i].height == height) {
            return i;
        }
    }
    return kFrameSizeManual;
}

CameraDescriptor NewCameraDescriptor() {
    CameraDescriptor camera{};
    camera.Type = kWebCamera;
    camera.Source.Web.CaptureDeviceNumber = 0;
    camera.Source.Web.PreferredResolutionWidth = -1;
    camera.Source.Web.PreferredResolutionHeight = -1;
    return camera;
}

bool CanEditCamera(const CameraList& list, int slot) {
    return slot >= 0 && slot <= int(list.Count) && slot < settings::kMaxCameras;
}

bool StoreCamera(CameraList& list, int slot, const CameraDescriptor& camera) {
    if (!CanEditCamera(list, slot)) {
        return false;
    }
    CameraDescriptor& target = list.Cameras[slot];
    target = CameraDescriptor{};
    target.InUse = 1;
    target.Type = camera.Type;
    std::memcpy(target.Name, camera.Name, sizeof target.Name);
    target.Name[std::size(target.Name) - 1] = 0;
    if (camera.Type == kIpCamera) {
        std::memcpy(target.Source.Url, camera.Source.Url, sizeof target.Source.Url);
        target.Source.Url[std::size(target.Source.Url) - 1] = 0;
    } else {
        target.Source.Web = camera.Source.Web;
        target.Source.Web.DevicePath[std::size(target.Source.Web.DevicePath) - 1] = 0;
    }
    target.RotationFlag = camera.RotationFlag;
    target.Mirroring = camera.Mirroring;
    if (slot == int(list.Count)) {
        ++list.Count;
    }
    return true;
}

bool DeleteCamera(CameraList& list, int slot) {
    if (!IsCameraSlot(list, slot)) {
        return false;
    }
    for (int i = slot; i + 1 < int(list.Count); ++i) {
        list.Cameras[i] = list.Cameras[i + 1];
    }
    --list.Count;
    list.Cameras[list.Count] = CameraDescriptor{};
    return true;
}

int MoveCameraUp(CameraList& list, int slot) {
    if (!IsCameraSlot(list, slot) || slot == 0) {
        return -1;
    }
    std::swap(list.Cameras[slot], list.Cameras[slot - 1]);
    return slot - 1;
}

int MoveCameraDown(CameraList& list, int slot) {
    if (!IsCameraSlot(list, slot) || slot + 1 >= int(list.Count)) {
        return -1;
    }
    std::swap(list.Cameras[slot], list.Cameras[slot + 1]);
    return slot + 1;
}

int CameraListIcon(const CameraList& list, int slot) {
    if (slot < 0 || slot >= settings::kMaxCameras || !list.Cameras[slot].InUse) {
        return -1;
    }
    return list.Cameras[slot].Type == kIpCamera ? kIpCamera : kWebCamera;
}

QString CameraListText(const CameraList& list, int slot, int column) {
    if (slot < 0 || slot >= settings::kMaxCameras) {
        return {};
    }
    const CameraDescriptor& camera = list.Cameras[slot];
    if (column == 0) {
        return QString::asprintf("  %d", slot + 1);
    }
    if (!camera.InUse) {
        return {};
    }
    if (column == 1) {
        return platform::FromFixed(camera.Name);
    }
    if (column != 2) {
        return {};
    }
    if (camera.Type == kIpCamera) {
        return MaskedUrl(platform::FromFixed(camera.Source.Url));
    }
    const auto& web = camera.Source.Web;
    QString text = web.CaptureDeviceNumber == -1 ? platform::FromFixed(web.DevicePath)
                                                 : QString::asprintf("#%d", web.CaptureDeviceNumber);
    if (web.PreferredResolutionWidth != -1 && web.PreferredResolutionHeight != -1) {
        text += QString::asprintf(", %dx%d", web.PreferredResolutionWidth, web.PreferredResolutionHeight);
    }
    return text;
}

}  // namespace camera
