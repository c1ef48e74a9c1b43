// Shows the settings sheet and the camera dialog on example settings and saves each page as a
// PNG, for review: page-0.png .. page-7.png and camera-1.png .. camera-3.png.
// Usage: ostrovid-settings-shot OUT_DIR   (under Xvfb, or with QT_QPA_PLATFORM=offscreen)
// Nothing is saved or sent: the pages edit a copy that is dropped.

#include "app/ui/settings_pages.h"
#include "platform/fixedtext.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>

#include <cstdio>

namespace {

settings::SettingsState ExampleSettings() {
    settings::SettingsState s;
    s.cameraList.Count = 2;
    settings::CameraDescriptor& entrance = s.cameraList.Cameras[0];
    entrance.InUse = 1;
    entrance.Type = 1;
    platform::CopyToFixed(entrance.Name, u"Вход");
    platform::CopyToFixed(entrance.Source.Url, u"rtsp://10.0.0.7:554/stream1");
    settings::CameraDescriptor& store = s.cameraList.Cameras[1];
    store.InUse = 1;
    store.Type = 0;
    platform::CopyToFixed(store.Name, u"Склад");
    store.Source.Web.CaptureDeviceNumber = 0;
    s.camerasExt.WaitConnectionTime = 60;
    s.camerasExt.WaitNewFrameTime = 15;
    s.recognition.MaxSubject = 8;
    s.recognition.AssuranceDistance = 35;
    s.recognition.LikelyDistance = 40;
    s.recognition.RepeatForRecognition = 1;
    s.recognition.RememberRecognized = 60;
    platform::CopyToFixed(s.DbConnectionString, u"Provider=SQLite;Data Source=/var/lib/ostrovid/Ostrovid.db");
    s.management.AllowManagement = 1;
    s.management.TcpPort = 21077;
    s.management.AllowUdpLocation = 1;
    s.management.UdpPort = 21077;
    return s;
}

bool Save(QWidget& widget, const QDir& out, const QString& name) {
    QApplication::processEvents();
    if (widget.grab().save(out.filePath(name), "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
    return false;
}

bool SaveCameraDialog(const settings::SettingsState& s, const QDir& out) {
    ui::CameraDialogServices services;
    services.testStream = [](const camera::StreamTestParams&, QWidget*) {};
    ui::CameraWizard wizard(s.cameraList.Cameras[0], s.camerasExt, services);
    wizard.show();
    auto* type = wizard.findChild<QComboBox*>(QStringLiteral("Type"));
    auto* next = wizard.findChild<QPushButton*>(QStringLiteral("next"));
    auto* back = wizard.findChild<QPushButton*>(QStringLiteral("back"));
    if (type == nullptr || next == nullptr || back == nullptr) return false;
    if (!Save(wizard, out, QStringLiteral("camera-1.png"))) return false;
    type->setCurrentIndex(0);
    next->click();
    if (!Save(wizard, out, QStringLiteral("camera-2.png"))) return false;
    back->click();
    type->setCurrentIndex(1);
    next->click();
    return Save(wizard, out, QStringLiteral("camera-3.png"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(args[1]);
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(out.path()));
        return 1;
    }
    settings::SettingsState copy = ExampleSettings();
    ui::SettingsSheet sheet;
    // Shown as on a machine with sound and a Russian voice; no test is run from here.
    ui::SettingsPageServices services;
    services.actions.soundAvailable = [] { return true; };
    services.actions.speechSupport = [] { return ui::SpeechSupport::Ready; };
    services.cameras.testStream = [](const camera::StreamTestParams&, QWidget*) {};
    ui::AddSettingsPages(sheet, copy, services);
    sheet.show();
    for (int page = 0; page < sheet.Pages()->count(); ++page) {
        sheet.Pages()->setCurrentIndex(page);
        if (!Save(sheet, out, QStringLiteral("page-%1.png").arg(page))) return 1;
    }
    sheet.hide();
    return SaveCameraDialog(copy, out) ? 0 : 1;
}
