// Page "Камеры" offscreen: the keys, double click and context menu of the camera list, the
// camera dialog's "Проверка..." with the entries and limits as edited, and the empty device list
// notice.

#include "app/ui/cameras_page.h"
#include "app/camera/camera_list.h"
#include "app/ui/camera_wizard.h"
#include "platform/fixedtext.h"
#include "tests/support/no_video_devices.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <optional>

namespace {

using testsupport::Child;
using testsupport::TypeInto;

// Hands every camera dialog that opens modally to `handle` (which must close it).
class WizardDriver {
public:
    explicit WizardDriver(std::function<void(ui::CameraWizard&)> handle) : handle_(std::move(handle)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* wizard = dynamic_cast<ui::CameraWizard*>(QApplication::activeModalWidget());
            if (wizard == nullptr || !wizard->isVisible()) return;
            ++opened_;
            handle_(*wizard);
        });
        poll_.start(10);
    }
    int Opened() const { return opened_; }

private:
    std::function<void(ui::CameraWizard&)> handle_;
    QTimer poll_;
    int opened_ = 0;
};

settings::SettingsState TwoCameras() {
    settings::SettingsState copy;
    copy.camerasExt = {0, 60, 15};
    for (const QString& name : {QStringLiteral("Первая"), QStringLiteral("Вторая")}) {
        settings::CameraDescriptor camera = camera::NewCameraDescriptor();
        platform::CopyToFixed(camera.Name, name);
        camera::StoreCamera(copy.cameraList, int(copy.cameraList.Count), camera);
    }
    return copy;
}

struct ShownPage {
    explicit ShownPage(settings::SettingsState& copy, ui::CameraDialogServices services = testsupport::NoVideoDevices())
        : page(copy, std::move(services)) {
        page.show();
        list = page.findChild<QTreeWidget*>(QStringLiteral("CameraList"));
        Focus();
    }
    // Keys reach the list only while its window is active; a closed dialog leaves it inactive.
    void Focus() {
        page.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&page));
        list->setFocus();
    }
    void Select(int row) {
        list->clearSelection();
        list->setCurrentItem(list->topLevelItem(row));
        list->topLevelItem(row)->setSelected(true);
    }
    QPoint RowCentre(int row) const { return list->visualItemRect(list->topLevelItem(row)).center(); }
    // The events a double click delivers: press, release, press, double click, release.
    void DoubleClick(int row) {
        const QPoint at = RowCentre(row);
        const QPointF global = list->viewport()->mapToGlobal(QPointF(at));
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent event(type, QPointF(at), global, Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
    }

    ui::CamerasPage page;
    QTreeWidget* list = nullptr;
};

TEST(CamerasPageList, SpaceInsertAndDoubleClickEditWhereEditingIsAllowed) {
    settings::SettingsState copy = TwoCameras();
    ShownPage shown(copy);
    WizardDriver driver([](ui::CameraWizard& wizard) { wizard.reject(); });

    shown.Select(0);
    QTest::keyClick(shown.list, Qt::Key_Space);
    EXPECT_EQ(driver.Opened(), 1);
    shown.Focus();
    QTest::keyClick(shown.list, Qt::Key_Insert);
    EXPECT_EQ(driver.Opened(), 2);
    shown.Focus();
    shown.DoubleClick(1);
    EXPECT_EQ(driver.Opened(), 3);
    EXPECT_EQ(shown.page.SelectedSlot(), 1);

    shown.Focus();
    shown.Select(2);  // the first empty slot: a new camera
    QTest::keyClick(shown.list, Qt::Key_Space);
    EXPECT_EQ(driver.Opened(), 4);
    shown.Focus();

    // Past the first empty slot nothing opens and nothing is deleted.
    shown.DoubleClick(5);
    EXPECT_EQ(shown.page.SelectedSlot(), 5);
    QTest::keyClick(shown.list, Qt::Key_Insert);
    QTest::keyClick(shown.list, Qt::Key_Delete);
    EXPECT_EQ(driver.Opened(), 4);
    EXPECT_EQ(copy.cameraList.Count, 2u);
}

TEST(CamerasPageList, ContextMenuOffersTheCommandsTheRowAllows) {
    settings::SettingsState copy = TwoCameras();
    ShownPage shown(copy);
    auto popUp = [&shown](int row) -> QMenu* {
        QTest::mouseClick(shown.list->viewport(), Qt::RightButton, {}, shown.RowCentre(row));
        const QPoint at = shown.RowCentre(row);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, shown.list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(shown.list->viewport(), &event);
        auto* menu = shown.page.findChild<QMenu*>();
        EXPECT_NE(menu, nullptr);
        if (menu != nullptr) {
            EXPECT_TRUE(menu->isVisible());
        }
        return menu;
    };
    auto enabled = [](QMenu* menu) {
        std::vector<bool> states;
        for (QAction* action : menu->actions()) states.push_back(action->isEnabled());
        return states;
    };

    QMenu* menu = popUp(1);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(shown.page.SelectedSlot(), 1);  // the right click selects the row
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Редактировать..."));
    EXPECT_EQ(menu->actions()[3]->text(), QStringLiteral("Опустить ниже"));
    EXPECT_EQ(enabled(menu), (std::vector<bool>{true, true, true, false}));  // the last camera
    menu->actions()[2]->trigger();                                           // "Поднять выше"
    menu->hide();
    EXPECT_EQ(platform::FromFixed(copy.cameraList.Cameras[0].Name), QStringLiteral("Вторая"));
    EXPECT_EQ(shown.page.SelectedSlot(), 0);

    menu = popUp(2);
    EXPECT_EQ(enabled(menu), (std::vector<bool>{true, false, false, false}));  // the first empty slot
    menu->hide();
    menu = popUp(0);
    EXPECT_EQ(enabled(menu), (std::vector<bool>{true, true, false, true}));
    menu->actions()[1]->trigger();  // "Удалить"
    menu->hide();
    EXPECT_EQ(copy.cameraList.Count, 1u);
    EXPECT_EQ(platform::FromFixed(copy.cameraList.Cameras[0].Name), QStringLiteral("Первая"));
}

TEST(CameraWizardStreamTest, CheckGetsTheEntriesAndLimitsAsEdited) {
    settings::SettingsState copy;
    copy.camerasExt = {0, 60, 15};
    settings::CameraDescriptor ip = camera::NewCameraDescriptor();
    ip.Type = camera::kIpCamera;
    platform::CopyToFixed(ip.Name, QStringLiteral("Двор"));
    platform::CopyToFixed(ip.Source.Url, QStringLiteral("rtsp://10.0.0.1/old"));
    camera::StoreCamera(copy.cameraList, 0, ip);

    std::optional<camera::StreamTestParams> tested;
    ui::CameraDialogServices services = testsupport::NoVideoDevices();
    services.testStream = [&tested](const camera::StreamTestParams& params, QWidget*) { tested = params; };
    ShownPage shown(copy, services);
    TypeInto(Child<QLineEdit>(shown.page, "WaitConnectionTime"), QStringLiteral("45"));
    TypeInto(Child<QLineEdit>(shown.page, "WaitNewFrameTime"), QStringLiteral("5"));  // 10 in the copy

    WizardDriver driver([](ui::CameraWizard& wizard) {
        Child<QComboBox>(wizard, "RotationFlag")->setCurrentIndex(2);
        Child<QPushButton>(wizard, "next")->click();
        TypeInto(Child<QLineEdit>(wizard, "Url"), QStringLiteral(" http://127.0.0.1:8080/new "));
        Child<QPushButton>(wizard, "testIpCamera")->click();
        wizard.reject();  // the test alone changes nothing
    });
    shown.Select(0);
    Child<QPushButton>(shown.page, "edit")->click();
    ASSERT_EQ(driver.Opened(), 1);
    ASSERT_TRUE(tested.has_value());
    EXPECT_EQ(tested->camera.Type, camera::kIpCamera);
    EXPECT_EQ(platform::FromFixed(tested->camera.Source.Url), QStringLiteral("http://127.0.0.1:8080/new"));
    EXPECT_EQ(tested->camera.RotationFlag, 2);
    EXPECT_EQ(tested->waitConnectionTime, 45);
    EXPECT_EQ(tested->waitNewFrameTime, 10);
    EXPECT_EQ(platform::FromFixed(copy.cameraList.Cameras[0].Source.Url), QStringLiteral("rtsp://10.0.0.1/old"));

    // A web camera by name with a typed size: passed as entered, matched to its device later.
    tested.reset();
    ui::CameraWizard web(camera::NewCameraDescriptor(), copy.camerasExt, services);
    web.show();
    TypeInto(Child<QLineEdit>(web, "Name"), QStringLiteral("Web"));
    Child<QPushButton>(web, "next")->click();
    Child<QRadioButton>(web, "byName")->setChecked(true);
    TypeInto(Child<QLineEdit>(web, "DevicePath"), QStringLiteral("usb-cam"));
    Child<QComboBox>(web, "PreferredResolution")->setCurrentIndex(camera::kFrameSizeManual);
    TypeInto(Child<QLineEdit>(web, "PreferredResolutionWidth"), QStringLiteral("1000"));
    TypeInto(Child<QLineEdit>(web, "PreferredResolutionHeight"), QStringLiteral("700"));
    Child<QPushButton>(web, "testWebCamera")->click();
    ASSERT_TRUE(tested.has_value());
    EXPECT_EQ(tested->camera.Type, camera::kWebCamera);
    EXPECT_EQ(tested->camera.Source.Web.CaptureDeviceNumber, -1);
    EXPECT_EQ(platform::FromFixed(tested->camera.Source.Web.DevicePath), QStringLiteral("usb-cam"));
    EXPECT_EQ(tested->camera.Source.Web.PreferredResolutionWidth, 1000);
    EXPECT_EQ(tested->camera.Source.Web.PreferredResolutionHeight, 700);
}

TEST(CameraWizardDeviceList, EmptyListNoticeShowsThreeSecondsFromTheLastPress) {
    ui::CameraWizard wizard(camera::NewCameraDescriptor(), {0, 60, 15}, testsupport::NoVideoDevices());
    wizard.show();
    TypeInto(Child<QLineEdit>(wizard, "Name"), QStringLiteral("Web"));
    Child<QPushButton>(wizard, "next")->click();
    auto* choose = Child<QPushButton>(wizard, "chooseDevice");
    auto* notice = Child<QLabel>(wizard, "emptyDeviceList");
    choose->click();
    EXPECT_TRUE(notice->isVisible());
    QTest::qWait(2000);
    choose->click();
    QTest::qWait(1500);  // 3.5 s after the first press
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([notice] { return !notice->isVisible(); }, 2500));
}

}  // namespace
