#pragma once
// Purpose: the camera dialog (a three-page wizard) without a display: the page flow, when Next
//          and Finish are enabled, the device and frame size entries of a web camera, and the
//          camera it stores on Finish.
// Threads: the user-interface thread.
// Owns: the entries of the camera being edited (a copy taken when the dialog opens).

#include "app/camera/video_devices.h"
#include "settings/groups.h"

#include <QString>

#include <vector>

namespace ui {

enum class CameraWizardPage { General, WebCamera, IpCamera };
enum class CameraKind { Web, Ip };
enum class DeviceChoice { ByNumber, ByName };
enum class WebCameraTestCheck { Ready, AlreadyOpen, Missing };

class CameraWizardRules {
public:
    static constexpr int kNameChars = 63;
    static constexpr int kDevicePathChars = 259;
    static constexpr int kUrlChars = 2083;
    static constexpr int kSizeDigits = 4;

    explicit CameraWizardRules(const settings::CameraDescriptor& camera);

    CameraWizardPage Page() const { return page_; }
    bool NextEnabled() const;
    bool BackEnabled() const { return page_ != CameraWizardPage::General; }
    bool FinishEnabled() const;
    void Next();
    void Back() { page_ = CameraWizardPage::General; }

    // Page "Параметры камеры". Texts are kept trimmed, as shown.
    void SetName(const QString& text) { name_ = text.trimmed(); }
    const QString& Name() const { return name_; }
    void SetKind(CameraKind kind) { kind_ = kind; }
    CameraKind Kind() const { return kind_; }
    void SetMirroring(bool on) { mirroring_ = on; }
    bool Mirroring() const { return mirroring_; }
    void SetRotation(int rotation);  // 0 none, 1 left, 2 right, 3 upside down
    int Rotation() const { return rotation_; }

    // Page "Параметры Web-камеры".
    void SetDeviceChoice(DeviceChoice choice) { deviceChoice_ = choice; }
    DeviceChoice Choice() const { return deviceChoice_; }
    void SetDeviceNumberText(const QString& text) { deviceNumber_ = text.trimmed(); }
    const QString& DeviceNumberText() const { return deviceNumber_; }
    void SetDevicePath(const QString& text) { devicePath_ = text.trimmed(); }
    const QString& DevicePath() const { return devicePath_; }
    // A row chosen in the device list fills both the number and the path.
    void ChooseDevice(const camera::VideoInputDevice& device);
    // The row of the device the entries name: by number, else by path (as a camera is
    // resolved); -1 when none matches.
    int CurrentDeviceRow(const std::vector<camera::VideoInputDevice>& devices) const;

    void SetFrameSizeChoice(int index);
    int FrameSizeChoice() const { return frameSize_; }
    bool SizeFieldsEditable() const;
    void SetWidthText(const QString& text) { width_ = text.trimmed(); }
    void SetHeightText(const QString& text) { height_ = text.trimmed(); }
    const QString& WidthText() const { return width_; }
    const QString& HeightText() const { return height_; }

    // Page "Параметры IP-камеры".
    void SetUrl(const QString& text) { url_ = text.trimmed(); }
    const QString& Url() const { return url_; }

    // The camera as the entries describe it now: what Finish stores, and what the stream test
    // opens.
    settings::CameraDescriptor Result() const;

private:
    bool WebEntriesValid() const;

    CameraWizardPage page_ = CameraWizardPage::General;
    QString name_;
    CameraKind kind_ = CameraKind::Web;
    bool mirroring_ = false;
    int rotation_ = 0;
    DeviceChoice deviceChoice_ = DeviceChoice::ByNumber;
    QString deviceNumber_;
    QString devicePath_;
    int frameSize_ = 0;
    QString width_;
    QString height_;
    QString url_;
};

// Before a stream test of a web camera: resolves the device (filling in the missing half of its
// identity) and refuses a camera that is missing or already open in the program.
WebCameraTestCheck CheckWebCameraForTest(settings::CameraDescriptor* camera);
// The message box text of a refusal; empty for Ready.
QString WebCameraTestRefusal(WebCameraTestCheck check);

}  // namespace ui
