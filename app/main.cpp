// The program Ostrovid: the start-up sequence up to the main window, the message loop, and the
// clean-up after it.

#include "app/actions/alert_devices.h"
#include "app/actions/template_values.h"
#include "app/camera/camera_work.h"
#include "app/program_window.h"
#include "app/recognition/face_models.h"
#include "app/shell/program_objects.h"
#include "app/shell/stop_signals.h"
#include "app/ui/splash_windows.h"
#include "platform/hostinfo.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "settings/load_settings.h"
#include "settings/settings_hub.h"
#include "settings/svc_channel.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

namespace {

const QString kVersionTitle = QStringLiteral("Vektra Ostrovid v.2.2.0");

// Steps up to the models: false ends start-up early.
bool DataFolderReady() {
    const QString folder = platform::ProgramDataFolder();
    WriteLog(QStringLiteral("Program Data Folder: ") + folder);
    if (!QDir(folder).exists()) {
        WriteLog(QStringLiteral("Program Data Folder not exist. Done."));
        return false;
    }
    return true;
}

// The models are required: without them the operator is told why and the program ends.
std::unique_ptr<recognition::FaceModels> LoadFaceModels(shell::StopSignals& stopSignals) {
    QString error;
    auto models = recognition::FaceModels::Load(QStringLiteral("Data"), error);
    if (!models) {
        WriteLog(QStringLiteral("Face models not loaded: ") + error);
        QMessageBox box(QMessageBox::Critical, kVersionTitle, QStringLiteral("Не удалось загрузить модели: ") + error);
        stopSignals.SetHandler([&box] { box.reject(); });
        box.exec();
        stopSignals.SetHandler({});
    }
    return models;
}

int RunProgram(QApplication& app, shell::ProgramObjects& objects, shell::StopSignals& stopSignals,
               actions::AlertDevices& alerts) {
    ui::InitSyncObjectsDialog wait([&objects] {
        const int attached = objects.InitSyncObjects();
        // The camera's stop event is one of the start-up objects: without it start-up ends.
        if (attached == settings::kAttached && !camera::MakeCameraStopEvent()) return settings::kAttachFailed;
        return attached;
    });
    stopSignals.SetHandler([&wait] { wait.reject(); });
    if (wait.exec() != 1) return 0;
    settings::SetProgramChannel(&objects.Channel());

    const auto models = LoadFaceModels(stopSignals);
    if (!models) return 0;
    settings::SettingsHub hub(settings::LoadSettingsFromRegistry());

    app::ProgramWindow program(objects, *models, hub, {&alerts, &alerts.Voices()});
    ui::MainFrame& frame = program.Frame();
    if (!program.Create()) return 0;
    stopSignals.SetHandler([&frame] { frame.close(); });
    WriteLog(kVersionTitle + QStringLiteral(" started."));
    const int code = app.exec();
    // A signal from here on has no window left to close.
    stopSignals.SetHandler({});
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::EnterProgramFolder();
    const QString temp = platform::TempFolder();
    platform::SetLogFile(temp + QStringLiteral("Ostrovid.log"), temp + QStringLiteral("Ostrovid1.log"));
    WriteLog(kVersionTitle + QStringLiteral(" loading..."));
    const platform::OsVersion os = platform::KernelVersion();
    WriteLog(QStringLiteral("OS Linux %1.%2.%3 64bit").arg(os.major).arg(os.minor).arg(os.build));

    shell::StopSignals stopSignals;
    shell::ProgramObjects objects;
    std::unique_ptr<actions::AlertDevices> alerts;
    int code = 0;
    if (DataFolderReady()) {
        actions::ComputerNameAtStartup();
        // The speech engine, the sound output devices and the built-in sounds.
        alerts = std::make_unique<actions::AlertDevices>();
        code = RunProgram(app, objects, stopSignals, *alerts);
    }

    settings::SetProgramChannel(nullptr);
    objects.Close();
    alerts.reset();
    WriteLog(kVersionTitle + QStringLiteral(" completed.\n\r\n\r"));
    return code;
}
