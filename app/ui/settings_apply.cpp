#include "app/ui/settings_apply.h"

#include "platform/fixedtext.h"
#include "settings/channel_saves.h"

namespace ui {

bool SaveSettingsGroup(SettingsGroup group, const settings::SettingsState& s) {
    switch (group) {
    case SettingsGroup::AutoRun:
        return settings::SaveAutoRun(s.AutoRun);
    case SettingsGroup::DbConnectionString:
        return settings::SaveDbConnectionString(platform::FromFixed(s.DbConnectionString));
    case SettingsGroup::Recognition:
        return settings::SaveRecognitionSettings(s.recognition);
    case SettingsGroup::Smtp:
        return settings::SaveSmtpSettings(s.smtp);
    case SettingsGroup::CamerasExt:
        return settings::SaveCamerasExtParam(s.camerasExt);
    case SettingsGroup::CameraList:
        return settings::SaveCameraList(s.cameraList);
    case SettingsGroup::Alerts:
        return settings::SaveSaveAlerts(s.alerts);
    case SettingsGroup::UPActionSet:
        return settings::SaveUPActionSet(s.upActions);
    case SettingsGroup::CsvFormat:
        return settings::SaveCSVFormat(s.csvFormat);
    case SettingsGroup::ScriptRecognized:
        return settings::SaveScriptFormat(s.scriptRecognized, QStringLiteral("RecognizedPersons"));
    case SettingsGroup::ScriptUnrecognized:
        return settings::SaveScriptFormat(s.scriptUnrecognized, QStringLiteral("UnrecognizedPersons"));
    case SettingsGroup::Management:
        return settings::SaveManagementServerSettings(s.management, s.stations);
    }
    return false;
}

ApplyResult ApplySettingsCopy(settings::SettingsState& copy, const ApplyServices& services) {
    ApplyResult result;
    {
        platform::CriticalSectionLock lock(settings::SettingsLock());
        settings::SettingsState& running = settings::g_Settings();
        result.previousCameras = running.cameraList;
        result.previousCameraIndex = running.CurrentCameraIndex;
        result.plan = PlanApply(running, copy);
        TakeOver(result.plan, copy, running);
        // A failed save keeps the new values running; the next group still goes out.
        for (SettingsGroup group : result.plan.groups) services.save(group, running);
    }
    // The restart copies the format under SettingsLock and then works on the disk: not under the lock.
    if (result.plan.csv == CsvChange::FileFormat) services.restartCsvLog();
    if (result.plan.restartTcp) services.restartTcpServer();
    if (result.plan.restartUdp) services.restartUdpServer();
    if (result.plan.connectionStringChanged) services.rebuildModelSet();
    return result;
}

}  // namespace ui
