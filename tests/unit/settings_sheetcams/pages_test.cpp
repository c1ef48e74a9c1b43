// The pages "Камеры" and "Распознавание", the camera dialog and the device chooser offscreen.

#include "app/camera/camera_list.h"
#include "app/ui/camera_wizard.h"
#include "app/ui/cameras_page.h"
#include "app/ui/device_chooser.h"
#include "app/ui/recognition_page.h"
#include "platform/fixedtext.h"
#include "tests/support/no_video_devices.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

using testsupport::Child;
using testsupport::TypeInto;

TEST(CameraWizardWidget, BuildsAnIpCameraThroughItsPages) {
    settings::CamerasExtParam limits{0, 60, 15};
    ui::CameraWizard wizard(camera::NewCameraDescriptor(), limits, testsupport::NoVideoDevices());
    wizard.show();
    auto* next = Child<QPushButton>(wizard, "next");
    auto* finish = Child<QPushButton>(wizard, "finish");
    auto* name = Child<QLineEdit>(wizard, "Name");
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Параметры камеры"));
    EXPECT_EQ(name->maxLength(), 63);
    TypeInto(name, QStringLiteral("   "));
    EXPECT_FALSE(next->isEnabled());
    TypeInto(name, QStringLiteral(" Двор "));
    EXPECT_TRUE(next->isEnabled());
    EXPECT_FALSE(finish->isEnabled());
    Child<QComboBox>(wizard, "Type")->setCurrentIndex(1);
    Child<QComboBox>(wizard, "RotationFlag")->setCurrentIndex(3);
    next->click();
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Параметры IP-камеры"));
    EXPECT_FALSE(finish->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(wizard, "testIpCamera")->isEnabled());  // no stream test offered
    auto* url = Child<QLineEdit>(wizard, "Url");
    EXPECT_EQ(url->maxLength(), 2083);
    TypeInto(url, QStringLiteral("rtsp://127.0.0.1:8554/live "));
    ASSERT_TRUE(finish->isEnabled());
    finish->click();
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    const settings::CameraDescriptor camera = wizard.Result();
    EXPECT_EQ(camera.Type, camera::kIpCamera);
    EXPECT_EQ(platform::FromFixed(camera.Name), QStringLiteral("Двор"));
    EXPECT_EQ(platform::FromFixed(camera.Source.Url), QStringLiteral("rtsp://127.0.0.1:8554/live"));
    EXPECT_EQ(camera.RotationFlag, 3);
}

TEST(CameraWizardWidget, WebCameraPageAndTheDeviceList) {
    settings::CamerasExtParam limits{0, 60, 15};
    int enumerations = 0;
    ui::CameraDialogServices services;
    services.enumerateDevices = [&enumerations](std::vector<camera::VideoInputDevice>* devices) {
        if (++enumerations == 1) return false;
        *devices = {{0, QStringLiteral("Built-in"), QStringLiteral("/dev/v4l/by-id/built-in")},
                    {1, QStringLiteral("USB"), QStringLiteral("/dev/v4l/by-id/usb")}};
        return true;
    };
    ui::CameraWizard wizard(camera::NewCameraDescriptor(), limits, services);
    wizard.show();
    TypeInto(Child<QLineEdit>(wizard, "Name"), QStringLiteral("Web"));
    Child<QPushButton>(wizard, "next")->click();
    EXPECT_EQ(wizard.windowTitle(), QStringLiteral("Параметры Web-камеры"));
    auto* finish = Child<QPushButton>(wizard, "finish");
    auto* width = Child<QLineEdit>(wizard, "PreferredResolutionWidth");
    EXPECT_TRUE(finish->isEnabled());
    EXPECT_FALSE(width->isEnabled());

    auto* choose = Child<QPushButton>(wizard, "chooseDevice");
    auto* empty = Child<QLabel>(wizard, "emptyDeviceList");
    choose->click();
    EXPECT_TRUE(empty->isVisible());

    int preselected = -2;
    QTimer::singleShot(0, [&preselected] {
        auto* chooser = dynamic_cast<ui::DeviceChooser*>(QApplication::activeModalWidget());
        if (chooser == nullptr) return;
        preselected = chooser->ChosenRow();
        auto* list = chooser->findChild<QTreeWidget*>(QStringLiteral("devices"));
        list->topLevelItem(1)->setSelected(true);
        list->topLevelItem(0)->setSelected(false);
        chooser->accept();
    });
    choose->click();
    EXPECT_EQ(preselected, 0);  // device number 0
    EXPECT_EQ(Child<QLineEdit>(wizard, "CaptureDeviceNumber")->text(), QStringLiteral("1"));
    EXPECT_EQ(Child<QLineEdit>(wizard, "DevicePath")->text(), QStringLiteral("/dev/v4l/by-id/usb"));

    Child<QRadioButton>(wizard, "byName")->setChecked(true);
    Child<QComboBox>(wizard, "PreferredResolution")->setCurrentIndex(camera::kFrameSizeManual);
    EXPECT_TRUE(width->isEnabled());
    TypeInto(width, QStringLiteral("1000"));
    TypeInto(Child<QLineEdit>(wizard, "PreferredResolutionHeight"), QStringLiteral("700"));
    finish->click();
    const settings::CameraDescriptor camera = wizard.Result();
    EXPECT_EQ(camera.Source.Web.CaptureDeviceNumber, -1);
    EXPECT_EQ(platform::FromFixed(camera.Source.Web.DevicePath), QStringLiteral("/dev/v4l/by-id/usb"));
    EXPECT_EQ(camera.Source.Web.PreferredResolutionWidth, 1000);
    EXPECT_EQ(camera.Source.Web.PreferredResolutionHeight, 700);
}

TEST(DeviceChooserWidget, OkNeedsASelection) {
    const std::vector<camera::VideoInputDevice> devices = {{0, QStringLiteral("A"), QStringLiteral("/dev/a")}};
    ui::DeviceChooser chooser(devices, -1);
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Выберите камеру в списке"));
    auto* ok = Child<QPushButton>(chooser, "ok");
    EXPECT_FALSE(ok->isEnabled());
    chooser.findChild<QTreeWidget*>(QStringLiteral("devices"))->topLevelItem(0)->setSelected(true);
    EXPECT_TRUE(ok->isEnabled());
}

TEST(CamerasPageWidget, ListCommandsAndLimitsEditTheCopy) {
    settings::SettingsState copy;
    copy.camerasExt = {0, 60, 15};
    settings::CameraDescriptor first = camera::NewCameraDescriptor();
    platform::CopyToFixed(first.Name, QStringLiteral("Первая"));
    camera::StoreCamera(copy.cameraList, 0, first);
    ui::CamerasPage page(copy, testsupport::NoVideoDevices());
    page.show();
    auto* list = Child<QTreeWidget>(page, "CameraList");
    ASSERT_EQ(list->topLevelItemCount(), 10);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("Первая"));
    EXPECT_EQ(list->topLevelItem(9)->text(0), QStringLiteral("  10"));
    auto* edit = Child<QPushButton>(page, "edit");
    auto* remove = Child<QPushButton>(page, "delete");
    EXPECT_FALSE(edit->isEnabled());

    // Adding at the first empty slot through the dialog.
    list->topLevelItem(1)->setSelected(true);
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    QTimer::singleShot(0, [] {
        auto* wizard = dynamic_cast<ui::CameraWizard*>(QApplication::activeModalWidget());
        if (wizard == nullptr) return;
        wizard->findChild<QLineEdit*>(QStringLiteral("Name"))->setText(QStringLiteral("Вторая"));
        wizard->findChild<QPushButton*>(QStringLiteral("next"))->click();
        wizard->findChild<QPushButton*>(QStringLiteral("finish"))->click();
    });
    edit->click();
    ASSERT_EQ(copy.cameraList.Count, 2u);
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("Вторая"));
    EXPECT_EQ(list->topLevelItem(1)->text(2), QStringLiteral("#0"));

    // Alt+Up moves the selected camera; the selection follows it.
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(page.SelectedSlot(), 0);
    EXPECT_EQ(platform::FromFixed(copy.cameraList.Cameras[0].Name), QStringLiteral("Вторая"));
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(copy.cameraList.Count, 1u);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("Первая"));
    EXPECT_TRUE(list->topLevelItem(1)->text(1).isEmpty());

    auto* wait = Child<QLineEdit>(page, "WaitConnectionTime");
    EXPECT_EQ(wait->maxLength(), 3);
    TypeInto(wait, QStringLiteral("200"));
    EXPECT_EQ(wait->text(), QStringLiteral("180"));
    EXPECT_EQ(copy.camerasExt.WaitConnectionTime, 180);
    TypeInto(Child<QLineEdit>(page, "WaitNewFrameTime"), QStringLiteral("5"));
    EXPECT_EQ(Child<QLineEdit>(page, "WaitNewFrameTime")->text(), QStringLiteral("5"));
    EXPECT_EQ(copy.camerasExt.WaitNewFrameTime, 10);
    Child<QCheckBox>(page, "AutoStartLastCamera")->setChecked(true);
    EXPECT_EQ(copy.camerasExt.AutoStartLastCamera, 1);
}

TEST(RecognitionPageWidget, SlidersAndRememberTimeWriteTheCopy) {
    settings::SettingsState copy;
    copy.recognition = {4, 40, 30, 3, 125, 0};
    ui::RecognitionPage page(copy);
    page.show();
    auto* likely = Child<QSlider>(page, "LikelyDistance");
    auto* assurance = Child<QSlider>(page, "AssuranceDistance");
    EXPECT_EQ(likely->minimum(), 50);
    EXPECT_EQ(likely->maximum(), 85);
    EXPECT_EQ(assurance->value(), 70);
    likely->setValue(80);
    EXPECT_EQ(assurance->value(), 80);
    EXPECT_EQ(copy.recognition.AssuranceDistance, 20u);

    auto* remember = Child<QLineEdit>(page, "RememberRecognized");
    auto* unit = Child<QComboBox>(page, "RememberRecognizedUnit");
    EXPECT_EQ(remember->text(), QStringLiteral("2"));
    EXPECT_EQ(unit->currentText(), QStringLiteral("Часов"));
    EXPECT_EQ(copy.recognition.RememberRecognized, 120u);  // the slider changed the page
    TypeInto(remember, QStringLiteral("0"));
    EXPECT_EQ(remember->text(), QStringLiteral("1"));
    EXPECT_EQ(copy.recognition.RememberRecognized, 60u);
    unit->setCurrentIndex(0);
    EXPECT_EQ(copy.recognition.RememberRecognized, 1u);

    auto* maxSubject = Child<QLineEdit>(page, "MaxSubject");
    TypeInto(maxSubject, QStringLiteral("20"));
    EXPECT_EQ(maxSubject->text(), QStringLiteral("16"));
    EXPECT_EQ(copy.recognition.MaxSubject, 16u);
}

}  // namespace
