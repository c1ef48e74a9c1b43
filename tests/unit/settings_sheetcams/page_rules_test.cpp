// The display-free rules of the pages "Камеры" and "Распознавание" and of the camera dialog.

#include "app/camera/camera_list.h"
#include "app/ui/camera_wizard_rules.h"
#include "app/ui/cameras_page_rules.h"
#include "app/ui/recognition_page_rules.h"
#include "platform/fixedtext.h"

#include <gtest/gtest.h>

namespace {

using ui::CameraListCommand;

settings::CameraDescriptor NamedCamera(const char* name) {
    settings::CameraDescriptor camera = camera::NewCameraDescriptor();
    platform::CopyToFixed(camera.Name, QString::fromUtf8(name));
    return camera;
}

settings::SettingsState ThreeCameras() {
    settings::SettingsState copy;
    ui::CamerasPageRules rules(copy);
    for (const char* name : {"A", "B", "C"}) {
        EXPECT_TRUE(rules.StoreCamera(int(copy.cameraList.Count), NamedCamera(name)));
    }
    return copy;
}

QString NameAt(const settings::SettingsState& copy, int slot) {
    return platform::FromFixed(copy.cameraList.Cameras[slot].Name);
}

TEST(CamerasPageRules, CommandsAreAllowedByTheSelectedRow) {
    settings::SettingsState copy = ThreeCameras();
    ui::CamerasPageRules rules(copy);
    // No selection allows nothing; the first empty slot allows only adding.
    for (auto command :
         {CameraListCommand::Edit, CameraListCommand::Delete, CameraListCommand::MoveUp, CameraListCommand::MoveDown}) {
        EXPECT_FALSE(rules.Allowed(command, -1));
        EXPECT_FALSE(rules.Allowed(command, 4));
    }
    EXPECT_TRUE(rules.Allowed(CameraListCommand::Edit, 3));
    EXPECT_FALSE(rules.Allowed(CameraListCommand::Delete, 3));
    EXPECT_FALSE(rules.Allowed(CameraListCommand::MoveUp, 0));
    EXPECT_TRUE(rules.Allowed(CameraListCommand::MoveDown, 0));
    EXPECT_TRUE(rules.Allowed(CameraListCommand::MoveUp, 2));
    EXPECT_FALSE(rules.Allowed(CameraListCommand::MoveDown, 2));
}

TEST(CamerasPageRules, CommandsEditTheCopyAndTheSelectionFollows) {
    settings::SettingsState copy = ThreeCameras();
    ui::CamerasPageRules rules(copy);
    EXPECT_EQ(rules.Run(CameraListCommand::MoveDown, 0), 1);
    EXPECT_EQ(NameAt(copy, 0), QStringLiteral("B"));
    EXPECT_EQ(NameAt(copy, 1), QStringLiteral("A"));
    EXPECT_EQ(rules.Run(CameraListCommand::MoveUp, 2), 1);
    EXPECT_EQ(NameAt(copy, 1), QStringLiteral("C"));
    EXPECT_EQ(rules.Run(CameraListCommand::MoveUp, 0), -1);

    EXPECT_EQ(rules.Run(CameraListCommand::Delete, 1), 1);
    EXPECT_EQ(copy.cameraList.Count, 2u);
    EXPECT_EQ(NameAt(copy, 1), QStringLiteral("A"));
    EXPECT_FALSE(copy.cameraList.Cameras[2].InUse);

    // A new camera is a web camera by device 0; an existing one is a copy of its slot.
    settings::CameraDescriptor fresh = rules.CameraForEdit(2);
    EXPECT_EQ(fresh.Source.Web.CaptureDeviceNumber, 0);
    EXPECT_EQ(fresh.Source.Web.PreferredResolutionWidth, -1);
    EXPECT_EQ(platform::FromFixed(rules.CameraForEdit(0).Name), QStringLiteral("B"));
}

TEST(CamerasPageRules, TimeLimitsReplaceOnlyTooLargeNumbersInTheField) {
    settings::SettingsState copy;
    ui::CamerasPageRules rules(copy);
    ui::NumberEntry entry = rules.SetWaitConnectionTime(QStringLiteral("2"));
    EXPECT_EQ(copy.camerasExt.WaitConnectionTime, 30);
    EXPECT_FALSE(entry.shown);  // the user may still be typing "25"
    entry = rules.SetWaitConnectionTime(QStringLiteral("999"));
    EXPECT_EQ(copy.camerasExt.WaitConnectionTime, 180);
    EXPECT_EQ(entry.shown, QStringLiteral("180"));
    rules.SetWaitConnectionTime(QStringLiteral("45"));
    EXPECT_EQ(copy.camerasExt.WaitConnectionTime, 45);

    rules.SetWaitNewFrameTime(QString());
    EXPECT_EQ(copy.camerasExt.WaitNewFrameTime, 10);
    entry = rules.SetWaitNewFrameTime(QStringLiteral("31"));
    EXPECT_EQ(copy.camerasExt.WaitNewFrameTime, 30);
    EXPECT_EQ(entry.shown, QStringLiteral("30"));
    entry = rules.SetWaitNewFrameTime(QStringLiteral("30"));
    EXPECT_FALSE(entry.shown);
}

TEST(CameraWizardRules, PageFlowFollowsTheNameAndType) {
    ui::CameraWizardRules wizard(camera::NewCameraDescriptor());
    EXPECT_EQ(wizard.Page(), ui::CameraWizardPage::General);
    wizard.SetName(QStringLiteral("   "));
    EXPECT_FALSE(wizard.NextEnabled());
    wizard.Next();
    EXPECT_EQ(wizard.Page(), ui::CameraWizardPage::General);
    EXPECT_FALSE(wizard.FinishEnabled());

    wizard.SetName(QStringLiteral("  Вход "));
    EXPECT_EQ(wizard.Name(), QStringLiteral("Вход"));
    wizard.SetKind(ui::CameraKind::Ip);
    wizard.Next();
    EXPECT_EQ(wizard.Page(), ui::CameraWizardPage::IpCamera);
    EXPECT_FALSE(wizard.NextEnabled());
    EXPECT_FALSE(wizard.FinishEnabled());
    wizard.SetUrl(QStringLiteral("  rtsp://h/x "));
    EXPECT_TRUE(wizard.FinishEnabled());
    wizard.Back();
    wizard.SetKind(ui::CameraKind::Web);
    wizard.Next();
    EXPECT_EQ(wizard.Page(), ui::CameraWizardPage::WebCamera);
    EXPECT_TRUE(wizard.FinishEnabled());  // device number 0
    wizard.SetDeviceNumberText(QString());
    EXPECT_FALSE(wizard.FinishEnabled());
    wizard.SetDeviceChoice(ui::DeviceChoice::ByName);
    EXPECT_FALSE(wizard.FinishEnabled());
    wizard.SetDevicePath(QStringLiteral(" /dev/video2 "));
    EXPECT_TRUE(wizard.FinishEnabled());
}

TEST(CameraWizardRules, FinishStoresTheDeviceAndSizeRules) {
    ui::CameraWizardRules wizard(camera::NewCameraDescriptor());
    wizard.SetName(QStringLiteral("Web"));
    wizard.SetDeviceNumberText(QStringLiteral("3"));
    wizard.SetDevicePath(QStringLiteral("/dev/video3"));
    wizard.SetDeviceChoice(ui::DeviceChoice::ByName);
    wizard.SetFrameSizeChoice(camera::kFrameSizeManual);
    EXPECT_TRUE(wizard.SizeFieldsEditable());
    wizard.SetWidthText(QStringLiteral("640"));
    wizard.SetHeightText(QStringLiteral("0"));
    settings::CameraDescriptor result = wizard.Result();
    EXPECT_EQ(result.Source.Web.CaptureDeviceNumber, -1);
    EXPECT_EQ(platform::FromFixed(result.Source.Web.DevicePath), QStringLiteral("/dev/video3"));
    EXPECT_EQ(result.Source.Web.PreferredResolutionWidth, -1);
    EXPECT_EQ(result.Source.Web.PreferredResolutionHeight, -1);

    wizard.SetHeightText(QStringLiteral("481"));
    wizard.SetDeviceChoice(ui::DeviceChoice::ByNumber);
    result = wizard.Result();
    EXPECT_EQ(result.Source.Web.CaptureDeviceNumber, 3);
    EXPECT_EQ(result.Source.Web.PreferredResolutionWidth, 640);
    EXPECT_EQ(result.Source.Web.PreferredResolutionHeight, 481);

    wizard.SetFrameSizeChoice(3);  // 640x480, the typed numbers no longer count
    EXPECT_FALSE(wizard.SizeFieldsEditable());
    EXPECT_EQ(wizard.Result().Source.Web.PreferredResolutionHeight, 480);
    wizard.SetFrameSizeChoice(camera::kFrameSizeAuto);
    EXPECT_EQ(wizard.Result().Source.Web.PreferredResolutionWidth, -1);
}

TEST(CameraWizardRules, OpensWithTheFieldsOfTheCamerasOwnType) {
    settings::CameraDescriptor web = NamedCamera("Web");
    web.Source.Web.CaptureDeviceNumber = -1;
    platform::CopyToFixed(web.Source.Web.DevicePath, QStringLiteral("usb-cam"));
    web.Source.Web.PreferredResolutionWidth = 800;
    web.Source.Web.PreferredResolutionHeight = 601;
    web.RotationFlag = 2;
    web.Mirroring = 1;
    ui::CameraWizardRules wizard(web);
    EXPECT_EQ(wizard.Choice(), ui::DeviceChoice::ByName);
    EXPECT_EQ(wizard.FrameSizeChoice(), camera::kFrameSizeManual);
    EXPECT_EQ(wizard.WidthText(), QStringLiteral("800"));
    EXPECT_EQ(wizard.HeightText(), QStringLiteral("601"));
    EXPECT_TRUE(wizard.Url().isEmpty());  // the device fields are not read as a URL
    settings::CameraDescriptor again = wizard.Result();
    EXPECT_EQ(again.RotationFlag, 2);
    EXPECT_EQ(again.Mirroring, 1);
    EXPECT_EQ(again.Source.Web.PreferredResolutionHeight, 601);

    settings::CameraDescriptor ip = NamedCamera("IP");
    ip.Type = camera::kIpCamera;
    platform::CopyToFixed(ip.Source.Url, QStringLiteral("rtsp://u:p@h:8554/s"));
    ui::CameraWizardRules ipWizard(ip);
    EXPECT_EQ(ipWizard.Kind(), ui::CameraKind::Ip);
    EXPECT_EQ(ipWizard.Url(), QStringLiteral("rtsp://u:p@h:8554/s"));
    // Switching the camera to a web camera starts from a new camera's device, not the URL's bytes.
    EXPECT_EQ(ipWizard.DeviceNumberText(), QStringLiteral("0"));
    EXPECT_TRUE(ipWizard.DevicePath().isEmpty());
    EXPECT_EQ(ipWizard.FrameSizeChoice(), camera::kFrameSizeAuto);
}

TEST(CameraWizardRules, DeviceListRowOfTheCurrentDevice) {
    const std::vector<camera::VideoInputDevice> devices = {
        {0, QStringLiteral("Built-in"), QStringLiteral("/dev/v4l/by-id/usb-Built_in-video-index0")},
        {2, QStringLiteral("USB"), QStringLiteral("/dev/v4l/by-id/usb-Other-video-index0")}};
    ui::CameraWizardRules wizard(camera::NewCameraDescriptor());
    wizard.SetDeviceNumberText(QStringLiteral("2"));
    EXPECT_EQ(wizard.CurrentDeviceRow(devices), 1);
    wizard.SetDeviceChoice(ui::DeviceChoice::ByName);
    wizard.SetDevicePath(QStringLiteral("BUILT_IN"));
    EXPECT_EQ(wizard.CurrentDeviceRow(devices), 0);
    wizard.SetDevicePath(QStringLiteral("absent"));
    EXPECT_EQ(wizard.CurrentDeviceRow(devices), -1);

    wizard.ChooseDevice(devices[1]);
    EXPECT_EQ(wizard.DeviceNumberText(), QStringLiteral("2"));
    EXPECT_EQ(wizard.DevicePath(), devices[1].devicePath);
}

TEST(CameraWizardRules, StreamTestRefusesAMissingDevice) {
    settings::CameraDescriptor camera = camera::NewCameraDescriptor();
    camera.Source.Web.CaptureDeviceNumber = -1;
    platform::CopyToFixed(camera.Source.Web.DevicePath, QStringLiteral("no-such-camera-anywhere"));
    const ui::WebCameraTestCheck check = ui::CheckWebCameraForTest(&camera);
    EXPECT_EQ(check, ui::WebCameraTestCheck::Missing);
    EXPECT_EQ(ui::WebCameraTestRefusal(check), QStringLiteral("Отсутствует такая Web-камера"));
    EXPECT_TRUE(ui::WebCameraTestRefusal(ui::WebCameraTestCheck::Ready).isEmpty());
}

settings::SettingsState RecognitionCopy(uint32_t likely, uint32_t assurance, uint32_t remember) {
    settings::SettingsState copy;
    copy.recognition = {4, likely, assurance, 3, remember, 0};
    return copy;
}

TEST(RecognitionPageRules, SlidersAreHundredMinusTheDistanceAndStayOrdered) {
    settings::SettingsState copy = RecognitionCopy(40, 30, 10);
    ui::RecognitionPageRules rules(copy);
    EXPECT_EQ(rules.LikelyPosition(), 60);
    EXPECT_EQ(rules.AssurancePosition(), 70);

    rules.SetLikelyPosition(80);
    EXPECT_EQ(rules.AssurancePosition(), 80);
    EXPECT_EQ(copy.recognition.LikelyDistance, 20u);
    EXPECT_EQ(copy.recognition.AssuranceDistance, 20u);

    rules.SetAssurancePosition(55);
    EXPECT_EQ(rules.LikelyPosition(), 55);
    EXPECT_EQ(copy.recognition.LikelyDistance, 45u);
    EXPECT_EQ(copy.recognition.AssuranceDistance, 45u);
    rules.SetAssurancePosition(90);  // beyond the slider's range
    EXPECT_EQ(copy.recognition.AssuranceDistance, 15u);
    EXPECT_LE(copy.recognition.AssuranceDistance, copy.recognition.LikelyDistance);
}

TEST(RecognitionPageRules, NumberOfFacesKeepsItsLimits) {
    settings::SettingsState copy = RecognitionCopy(40, 30, 10);
    ui::RecognitionPageRules rules(copy);
    ui::NumberEntry entry = rules.SetMaxSubject(QStringLiteral("0"));
    EXPECT_EQ(copy.recognition.MaxSubject, 1u);
    entry = rules.SetMaxSubject(QStringLiteral("17"));
    EXPECT_EQ(copy.recognition.MaxSubject, 16u);
    EXPECT_EQ(entry.shown, QStringLiteral("16"));
}

TEST(RecognitionPageRules, RememberRecognizedInMinutesOrHours) {
    settings::SettingsState copy = RecognitionCopy(40, 30, 125);
    ui::RecognitionPageRules rules(copy);
    EXPECT_EQ(rules.RememberUnit(), ui::TimeUnit::Hours);
    EXPECT_EQ(rules.RememberNumber(), 2);
    EXPECT_EQ(copy.recognition.RememberRecognized, 125u);  // opening writes nothing
    rules.SetShortInvisibility(true);
    EXPECT_EQ(copy.recognition.RememberRecognized, 120u);

    rules.SetRememberNumber(QStringLiteral("3"));
    EXPECT_EQ(copy.recognition.RememberRecognized, 180u);
    rules.SetRememberUnit(ui::TimeUnit::Minutes);
    EXPECT_EQ(copy.recognition.RememberRecognized, 3u);

    ui::NumberEntry entry = rules.SetRememberNumber(QStringLiteral("0"));
    EXPECT_EQ(entry.shown, QStringLiteral("1"));
    EXPECT_EQ(copy.recognition.RememberRecognized, 1u);
    rules.SetRememberUnit(ui::TimeUnit::Hours);
    EXPECT_EQ(copy.recognition.RememberRecognized, 60u);
    entry = rules.SetRememberNumber(QString());  // cleared while typing: stored as one unit
    EXPECT_FALSE(entry.shown);
    EXPECT_EQ(copy.recognition.RememberRecognized, 60u);

    settings::SettingsState minutes = RecognitionCopy(40, 30, 59);
    ui::RecognitionPageRules minuteRules(minutes);
    EXPECT_EQ(minuteRules.RememberUnit(), ui::TimeUnit::Minutes);
    EXPECT_EQ(minuteRules.RememberNumber(), 59);
}

}  // namespace
