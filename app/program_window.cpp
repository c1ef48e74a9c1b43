#include "app/program_window.h"

#include "app/ui/camera_panel.h"
#include "app/ui/database_browser.h"
#include "app/ui/main_frame.h"
#include "app/ui/settings_pages.h"

namespace app {

namespace {

std::optional<ui::ApplyResult> OpenSettingsSheet(QWidget* owner, const ui::SaveRunner& runSaves,
                                                 ProgramThreads& threads, const ProgramAlerts& alerts,
                                                 settings::SettingsHub& hub) {
    ui::ApplyServices services;
    services.save = ui::SaveSettingsGroup;
    services.runSaves = runSaves;
    services.restartTcpServer = [&threads] { threads.Management().RestartTcpServer(u"ApplyPS"); };
    services.restartUdpServer = [&threads] { threads.Management().RestartUdpServer(u"ApplyPS"); };
    services.rebuildModelSet = [&threads] {
        if (database::ModelSynchronizer* synchronizer = threads.Synchronizer()) synchronizer->NeedModelsActualize();
    };
    services.restartCsvLog = [&threads] { threads.CsvLog().Restart(); };
    const ui::SettingsPageServices pageServices = ui::ProgramSettingsPageServices(*alerts.outputs, alerts.voices);
    const auto addPages = [&pageServices](ui::SettingsSheet& sheet, settings::SettingsState& copy) {
        ui::AddSettingsPages(sheet, copy, pageServices);
    };
    return ui::RunSettingsSheet(owner, hub, addPages, services);
}

ui::MainFrameParts FrameParts(ProgramThreads& threads, recognition::FaceModels& models,
                              recognition::PostingRecognizedDataSink& recognizedSink, const shell::Journal& journal,
                              ProgramServices& services, const ProgramAlerts& alerts, settings::SettingsHub& hub) {
    ui::MainFrameParts parts;
    parts.services = &services;
    parts.snapshots = &services.Snapshots();
    parts.detect = [&models](const cv::Mat& frame, int maxSubject) { return models.DetectFaces(frame, maxSubject); };
    parts.dispatch = [&threads](const cv::Mat& frame, std::span<recognition::DispatchSubject* const> subjects,
                                double now) {
        if (recognition::PredictPool* pool = threads.Pool()) pool->DispatchFaces(frame, subjects, now);
    };
    parts.recognizedSink = &recognizedSink;
    parts.wakeDatabaseCheck = [&threads] {
        if (database::ModelSynchronizer* synchronizer = threads.Synchronizer()) synchronizer->hDbCheckEvent.Set();
    };
    parts.openDatabase = [&models, &journal, &hub, voices = alerts.voices](QWidget* owner) {
        ui::OpenDatabaseBrowser(owner, journal, hub, &models, voices);
    };
    parts.openSettings = [&threads, alerts, &hub](QWidget* owner, const ui::SaveRunner& runSaves) {
        return OpenSettingsSheet(owner, runSaves, threads, alerts, hub);
    };
    return parts;
}

}  // namespace

ProgramWindow::ProgramWindow(shell::ProgramObjects& objects, recognition::FaceModels& models,
                             settings::SettingsHub& hub, ProgramAlerts alerts)
    : ownWorkers_(journal_),
      threads_(objects, models, journal_, alerts.workers != nullptr ? *alerts.workers : ownWorkers_, hub),
      services_(threads_.Actions(), *alerts.outputs, threads_.Management(), models, hub),
      frame_(threads_, journal_, hub, FrameParts(threads_, models, recognizedSink_, journal_, services_, alerts, hub)) {
    threads_.SetRecognizedDataSink(&recognizedSink_);
    threads_.SetMainFrameSink(&frame_);
    threads_.SetCloseMainWindow([this] { frame_.PostClose(); });
    // The panel is made by the frame's creation, before the servers start, and stays until they stop.
    threads_.Management().SetViewport([this]() -> QObject* {
        return frame_.CameraPanel() != nullptr ? &frame_.CameraPanel()->Viewport()->Live() : nullptr;
    });
    threads_.Management().SetServerStatus([this](management::TcpServerState state, int sessions) {
        if (ui::CameraPanelWidget* panel = frame_.CameraPanel())
            panel->PostServerStatus(state == management::TcpServerState::Running ? ui::ManagementServer::Running
                                                                                 : ui::ManagementServer::Stopped,
                                    sessions);
    });
}

}  // namespace app
