#include "app/ui/camera_wizard_rules.h"

#include "app/camera/camera_list.h"
#include "platform/fixedtext.h"

namespace ui {

namespace {

// A typed frame side; 0 for anything that is not a positive number.
int32_t SizeValue(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? value : 0;
}

}  // namespace

CameraWizardRules::CameraWizardRules(const settings::CameraDescriptor& camera)
    : name_(platform::FromFixed(camera.Name).trimmed()),
      kind_(camera.Type == camera::kIpCamera ? CameraKind::Ip : CameraKind::Web),
      mirroring_(camera.Mirroring != 0) {
    SetRotation(camera.RotationFlag);
    // URL and device fields share storage: read only the half of the camera's type, the other
    // half starts as for a new camera.
    if (kind_ == CameraKind::Ip) {
        url_ = platform::FromFixed(camera.Source.Url).trimmed();
        deviceNumber_ = QStringLiteral("0");
        return;
    }
    const auto& web = camera.Source.Web;
    deviceChoice_ = web.CaptureDeviceNumber < 0 ? DeviceChoice::ByName : DeviceChoice::ByNumber;
    if (web.CaptureDeviceNumber >= 0 && web.CaptureDeviceNumber <= 9) {
        deviceNumber_ = QString::number(web.CaptureDeviceNumber);
    }
    devicePath_ = platform::FromFixed(web.DevicePath).trimmed();
    frameSize_ = camera::FrameSizeChoiceIndex(web.PreferredResolutionWidth, web.PreferredResolutionHeight);
    if (frameSize_ == camera::kFrameSizeManual) {
        width_ = QString::number(web.PreferredResolutionWidth);
        height_ = QString::number(web.PreferredResolutionHeight);
    }
}

bool CameraWizardRules::NextEnabled() const { return page_ == CameraWizardPage::General && !name_.isEmpty(); }

bool CameraWizardRules::FinishEnabled() const {
    switch (page_) {
    case CameraWizardPage::General:
        return false;
    case CameraWizardPage::WebCamera:
        return WebEntriesValid();
    case CameraWizardPage::IpCamera:
        return !url_.isEmpty();
    }
    return false;
}

void CameraWizardRules::Next() {
    if (NextEnabled()) {
        page_ = kind_ == CameraKind::Ip ? CameraWizardPage::IpCamera : CameraWizardPage::WebCamera;
    }
}

void CameraWizardRules::SetRotation(int rotation) { rotation_ = rotation >= 0 && rotation <= 3 ? rotation : 0; }

bool CameraWizardRules::WebEntriesValid() const {
    if (deviceChoice_ == DeviceChoice::ByName) {
        return !devicePath_.isEmpty();
    }
    bool ok = false;
    const int number = deviceNumber_.toInt(&ok);
    return ok && number >= 0 && number < 10;
}

void CameraWizardRules::ChooseDevice(const camera::VideoInputDevice& device) {
    deviceNumber_ = QString::number(device.number);
    devicePath_ = device.devicePath.trimmed();
}

int CameraWizardRules::CurrentDeviceRow(const std::vector<camera::VideoInputDevice>& devices) const {
    for (size_t row = 0; row < devices.size(); ++row) {
        const camera::VideoInputDevice& device = devices[row];
        const bool matches =
            deviceChoice_ == DeviceChoice::ByNumber
                ? device.number == deviceNumber_.toInt() && !deviceNumber_.isEmpty()
                : !devicePath_.isEmpty() && device.devicePath.contains(devicePath_, Qt::CaseInsensitive);
        if (matches) {
            return int(row);
        }
    }
    return -1;
}

void CameraWizardRules::SetFrameSizeChoice(int index) {
    frameSize_ = index >= 0 && index < camera::kFrameSizeChoiceCount ? index : camera::kFrameSizeAuto;
}

bool CameraWizardRules::SizeFieldsEditable() const { return frameSize_ == camera::kFrameSizeManual; }

settings::CameraDescriptor CameraWizardRules::Result() const {
    settings::CameraDescriptor camera{};
    camera.InUse = 1;
    camera.Type = kind_ == CameraKind::Ip ? camera::kIpCamera : camera::kWebCamera;
    platform::CopyToFixed(camera.Name, name_);
    camera.RotationFlag = rotation_;
    camera.Mirroring = mirroring_ ? 1 : 0;
    if (kind_ == CameraKind::Ip) {
        platform::CopyToFixed(camera.Source.Url, url_);
        return camera;
    }
    auto& web = camera.Source.Web;
    web.CaptureDeviceNumber = deviceChoice_ == DeviceChoice::ByName ? -1 : deviceNumber_.toInt();
    platform::CopyToFixed(web.DevicePath, devicePath_);
    int32_t width = -1;
    int32_t height = -1;
    if (frameSize_ == camera::kFrameSizeManual) {
        width = SizeValue(width_);
        height = SizeValue(height_);
    } else if (frameSize_ != camera::kFrameSizeAuto) {
        width = camera::kFrameSizeChoices[frameSize_].width;
        height = camera::kFrameSizeChoices[frameSize_].height;
    }
    if (width <= 0 || height <= 0) {
        width = -1;
        height = -1;
    }
    web.PreferredResolutionWidth = width;
    web.PreferredResolutionHeight = height;
    return camera;
}

WebCameraTestCheck CheckWebCameraForTest(settings::CameraDescriptor* camera) {
    if (!camera::ResolveWebCamera(camera)) {
        return WebCameraTestCheck::Missing;
    }
    platform::CriticalSectionLock lock(camera::DeviceLock());
    return camera::FindOpenDevicePath(platform::FromFixed(camera->Source.Web.DevicePath))
               ? WebCameraTestCheck::AlreadyOpen
               : WebCameraTestCheck::Ready;
}

QString WebCameraTestRefusal(WebCameraTestCheck check) {
    switch (check) {
    case WebCameraTestCheck::Ready:
        return {};
    case WebCameraTestCheck::AlreadyOpen:
        return QStringLiteral("Web-камера уже открыта в приложении.");
    case WebCameraTestCheck::Missing:
        return QStringLiteral("Отсутствует такая Web-камера");
    }
    return {};
}

}  // namespace ui
