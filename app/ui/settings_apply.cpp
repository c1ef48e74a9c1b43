#include "app/ui/settings_apply.h"

#include "platform/fixedtext.h"
#include "settings/channel_saves.h"

namespace ui {

bool SaveSettingsGroup(settings::Group group, const settings::SettingsState& s) {
    switch (group) {
    case settings::Group::AutoRun:
        return settings::SaveAutoRun(s.AutoRun);
    case settings::Group::DbConnectionString:
        return settings::SaveDbConnectionString(platform::FromFixed(s.DbConnectionString));
    case settings::Group::Recognition:
        return settings::SaveRecognitionSettings(s.recognition);
    case settings::Group::Smtp:
        return settings::SaveSmtpSettings(s.smtp);
    case settings::Group::CamerasExt:
        return settings::SaveCamerasExtParam(s.camerasExt);
    case settings::Group::CameraList:
        return settings::SaveCameraList(s.cameraList);
    case settings::Group::Alerts:
        return settings::SaveSaveAlerts(s.alerts);
    case settings::Group::UPActionSet:
        return settings::SaveUPActionSet(s.upActions);
    case settings::Group::CsvFormat:
        return settings::SaveCSVFormat(s.csvFormat);
    case settings::Group::ScriptRecognized:
        return settings::SaveScriptFormat(s.scriptRecognized, QStringLiteral("RecognizedPersons"));
    case settings::Group::ScriptUnrecognized:
        return settings::SaveScriptFormat(s.scriptUnrecognized, QStringLiteral("UnrecognizedPersons"));
    case settings::Group::Management:
        return settings::SaveManagementServerSettings(s.management, s.stations);
    case settings::Group::Window:
    case settings::Group::DbWin:
    case settings::Group::CurrentCamera:
    case settings::Group::ViewFeatures:
        // The windows save their own values the moment they change.
        break;
    }
    return false;
}

ApplyResult ApplySettingsCopy(settings::SettingsHub& hub, settings::SettingsState& copy,
                              const ApplyServices& services) {
    const ApplyPlan planned = PlanApply(*hub.Snapshot(), copy);
    std::vector<settings::Group> saved;
    const auto saves = [&planned, &copy, &saved, &services] {
        // A failed save keeps that group's running value; the next group still goes out.
        for (settings::Group group : planned.groups)
            if (services.save(group, copy)) saved.push_back(group);
    };
    if (services.runSaves) {
        services.runSaves(saves);
    } else {
        saves();
    }
    ApplyResult result;
    result.plan = SavedPart(planned, saved);
    hub.Update([&result, &copy](settings::SettingsState& next) {
        result.previousCameras = next.cameraList;
        result.previousCameraIndex = next.CurrentCameraIndex;
        TakeOver(result.plan, copy, next);
    });
    if (result.plan.csv == CsvChange::FileFormat) services.restartCsvLog();
    if (result.plan.restartTcp) services.restartTcpServer();
    if (result.plan.restartUdp) services.restartUdpServer();
    if (result.plan.connectionStringChanged) services.rebuildModelSet();
    return result;
}

}  // namespace ui
