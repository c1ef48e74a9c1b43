#pragma once
// Purpose: the camera dialog of the settings page "Камеры": three pages ("Параметры камеры",
//          "Параметры Web-камеры", "Параметры IP-камеры") whose every change goes to
//          CameraWizardRules; the device chooser and the stream test are opened from here.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership) and the rules with the entries.

#include "app/camera/stream_test.h"
#include "app/camera/video_devices.h"
#include "app/ui/camera_wizard_rules.h"

#include <QDialog>

#include <functional>
#include <vector>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace ui {

// What the camera dialog needs from the program; tests replace each.
struct CameraDialogServices {
    // The present video input devices; false (with an empty list) when there are none.
    std::function<bool(std::vector<camera::VideoInputDevice>*)> enumerateDevices = camera::EnumVideoInputDevices;
    // Opens the stream test "Проверка захвата потока видео" with the camera's entries as they
    // stand (ui::StreamTestService() in the program); while empty the "Проверка..." buttons stay
    // disabled.
    std::function<void(const camera::StreamTestParams&, QWidget* parent)> testStream;
};

class CameraWizard final : public QDialog {
public:
    // camera: a copy of the camera being edited (or a new one); limits: the sheet's current time
    // limits, handed to the stream test.
    CameraWizard(const settings::CameraDescriptor& camera, const settings::CamerasExtParam& limits,
                 CameraDialogServices services, QWidget* parent = nullptr);

    // After "Готово": the camera to store.
    settings::CameraDescriptor Result() const { return rules_.Result(); }

private:
    QWidget* BuildGeneralPage();
    QWidget* BuildWebPage();
    QWidget* BuildIpPage();
    // "Проверка..." at the foot of a camera page.
    void AddTestButton(QWidget* page, QBoxLayout* layout, const QString& name);
    void ChooseFromList();
    void TestStream();
    void Refresh();

    CameraWizardRules rules_;
    settings::CamerasExtParam limits_;
    CameraDialogServices services_;
    QStackedWidget* pages_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
    QLabel* rotationIcon_ = nullptr;
    QLineEdit* deviceNumber_ = nullptr;
    QLineEdit* devicePath_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QLabel* emptyDeviceList_ = nullptr;
    QTimer* emptyDeviceListTimer_ = nullptr;
};

}  // namespace ui
