#include "app/ui/settings_apply_plan.h"

#include "platform/fixedtext.h"

#include <algorithm>
#include <cstring>

namespace ui {

namespace {

constexpr uint32_t kDefaultManagementPort = 21077;

// Exact, case included: file names differ by case on this system, and a case fix is an edit.
template <size_t N>
bool SameText(const char16_t (&a)[N], const char16_t (&b)[N]) {
    return platform::FromFixed(a) == platform::FromFixed(b);
}

bool SameRecognition(const settings::RecognitionSettings& a, const settings::RecognitionSettings& b) {
    return a.MaxSubject == b.MaxSubject && a.LikelyDistance == b.LikelyDistance &&
           a.AssuranceDistance == b.AssuranceDistance && a.RepeatForRecognition == b.RepeatForRecognition &&
           a.RememberRecognized == b.RememberRecognized && a.ShortInvisibility == b.ShortInvisibility;
}

bool SameSmtp(const settings::SmtpSettings& a, const settings::SmtpSettings& b) {
    return SameText(a.SMTPServer, b.SMTPServer) && a.SMTPServerPort == b.SMTPServerPort &&
           a.SMTPUseSSL == b.SMTPUseSSL && SameText(a.Originator, b.Originator) &&
           a.SMTPAuthRequired == b.SMTPAuthRequired && SameText(a.SendUserName, b.SendUserName) &&
           SameText(a.SendPassword, b.SendPassword) && SameText(a.Recepients, b.Recepients);
}

bool SameCamerasExt(const settings::CamerasExtParam& a, const settings::CamerasExtParam& b) {
    return a.AutoStartLastCamera == b.AutoStartLastCamera && a.WaitConnectionTime == b.WaitConnectionTime &&
           a.WaitNewFrameTime == b.WaitNewFrameTime;
}

bool SameCameraList(const settings::CameraList& a, const settings::CameraList& b) {
    if (a.Count != b.Count) return false;
    const uint32_t count = std::min<uint32_t>(a.Count, settings::kMaxCameras);
    for (uint32_t i = 0; i < count; ++i) {
        if (!SameText(a.Cameras[i].Name, b.Cameras[i].Name) || !SameCameraSource(a.Cameras[i], b.Cameras[i]))
            return false;
    }
    return true;
}

bool SameAlert(const settings::AlertSettings& a, const settings::AlertSettings& b) {
    return a.PlayWav == b.PlayWav && SameText(a.WavFile, b.WavFile) && SameText(a.Speech, b.Speech) && a.CSV == b.CSV &&
           a.Script == b.Script && a.ScriptType == b.ScriptType && SameText(a.ScriptFile, b.ScriptFile) &&
           a.SendMail == b.SendMail && SameText(a.Recepients, b.Recepients) &&
           SameText(a.SubjectFormat, b.SubjectFormat) && SameText(a.BodyFormat, b.BodyFormat);
}

bool SameAlerts(const settings::Alerts& a, const settings::Alerts& b) {
    for (int i = 0; i < settings::kAlertCount; ++i)
        if (!SameAlert(a.Items[i], b.Items[i])) return false;
    return true;
}

bool SameUPActions(const settings::UPActionSet& a, const settings::UPActionSet& b) {
    return a.Script == b.Script && a.ScriptType == b.ScriptType && SameText(a.ScriptFile, b.ScriptFile) &&
           a.SendMail == b.SendMail && SameText(a.Recepients, b.Recepients) &&
           SameText(a.SubjectFormat, b.SubjectFormat) && SameText(a.BodyFormat, b.BodyFormat);
}

CsvChange CompareCsv(const settings::CsvFormat& a, const settings::CsvFormat& b) {
    if (!SameText(a.Folder, b.Folder) || a.Encode != b.Encode || a.Delimiter != b.Delimiter ||
        a.UseHeader != b.UseHeader)
        return CsvChange::FileFormat;
    if (a.RotatesNumber != b.RotatesNumber || a.SizeLimitMB != b.SizeLimitMB) return CsvChange::SettingsOnly;
    return CsvChange::None;
}

bool SameScript(const settings::ScriptFormat& a, const settings::ScriptFormat& b) {
    return a.Timeout == b.Timeout && a.AllowUI == b.AllowUI && a.ImgFileFormat == b.ImgFileFormat;
}

}  // namespace

bool ApplyPlan::Has(settings::Group group) const {
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

void NormalizeManagement(settings::ManagementServerSettings& management, QStringList& stations) {
    if (management.AllowManagement == 0) management.AllowUdpLocation = 0;
    if (management.AcceptConnectionFlag == 1 && stations.isEmpty()) management.AcceptConnectionFlag = 0;
    if (management.AcceptConnectionFlag == 0) stations.clear();
    // QString's operator< compares UTF-16 code units.
    std::sort(stations.begin(), stations.end());
    if (management.TcpPort == 0) management.TcpPort = kDefaultManagementPort;
    if (management.UdpPort == 0) management.UdpPort = kDefaultManagementPort;
}

ApplyPlan PlanApply(const settings::SettingsState& running, settings::SettingsState& copy) {
    ApplyPlan plan;
    if (copy.AutoRun != running.AutoRun) plan.groups.push_back(settings::Group::AutoRun);
    if (!SameText(copy.DbConnectionString, running.DbConnectionString)) {
        plan.groups.push_back(settings::Group::DbConnectionString);
        plan.connectionStringChanged = true;
    }
    if (!SameRecognition(copy.recognition, running.recognition)) plan.groups.push_back(settings::Group::Recognition);
    if (!SameSmtp(copy.smtp, running.smtp)) plan.groups.push_back(settings::Group::Smtp);
    if (!SameCamerasExt(copy.camerasExt, running.camerasExt)) plan.groups.push_back(settings::Group::CamerasExt);
    if (!SameCameraList(copy.cameraList, running.cameraList)) {
        plan.groups.push_back(settings::Group::CameraList);
        plan.cameraListChanged = true;
    }
    if (!SameAlerts(copy.alerts, running.alerts)) plan.groups.push_back(settings::Group::Alerts);
    if (!SameUPActions(copy.upActions, running.upActions)) plan.groups.push_back(settings::Group::UPActionSet);
    plan.csv = CompareCsv(copy.csvFormat, running.csvFormat);
    if (plan.csv != CsvChange::None) plan.groups.push_back(settings::Group::CsvFormat);
    if (!SameScript(copy.scriptRecognized, running.scriptRecognized))
        plan.groups.push_back(settings::Group::ScriptRecognized);
    if (!SameScript(copy.scriptUnrecognized, running.scriptUnrecognized))
        plan.groups.push_back(settings::Group::ScriptUnrecognized);

    NormalizeManagement(copy.management, copy.stations);
    const settings::ManagementServerSettings& m = copy.management;
    const settings::ManagementServerSettings& r = running.management;
    plan.restartTcp = m.AllowManagement != r.AllowManagement || m.TcpPort != r.TcpPort ||
                      m.AcceptConnectionFlag != r.AcceptConnectionFlag || copy.stations != running.stations ||
                      !SameText(m.Password, r.Password);
    // Stored settings may hold discovery on with management off, where discovery does not run:
    // turning management on must then start it even though AllowUdpLocation itself is unchanged.
    const bool udpRanBefore = r.AllowManagement != 0 && r.AllowUdpLocation != 0;
    const bool udpRunsAfter = m.AllowManagement != 0 && m.AllowUdpLocation != 0;
    plan.restartUdp =
        m.AllowUdpLocation != r.AllowUdpLocation || m.UdpPort != r.UdpPort || udpRanBefore != udpRunsAfter;
    if (plan.restartTcp || plan.restartUdp) plan.groups.push_back(settings::Group::Management);
    return plan;
}

ApplyPlan SavedPart(const ApplyPlan& plan, const std::vector<settings::Group>& saved) {
    ApplyPlan part = plan;
    part.groups.clear();
    for (settings::Group group : plan.groups)
        if (std::find(saved.begin(), saved.end(), group) != saved.end()) part.groups.push_back(group);
    part.connectionStringChanged = plan.connectionStringChanged && part.Has(settings::Group::DbConnectionString);
    part.cameraListChanged = plan.cameraListChanged && part.Has(settings::Group::CameraList);
    if (!part.Has(settings::Group::CsvFormat)) part.csv = CsvChange::None;
    if (!part.Has(settings::Group::Management)) {
        part.restartTcp = false;
        part.restartUdp = false;
    }
    return part;
}

void TakeOver(const ApplyPlan& plan, const settings::SettingsState& copy, settings::SettingsState& next) {
    for (settings::Group group : plan.groups) {
        switch (group) {
        case settings::Group::AutoRun:
            next.AutoRun = copy.AutoRun;
            break;
        case settings::Group::DbConnectionString:
            std::memcpy(next.DbConnectionString, copy.DbConnectionString, sizeof copy.DbConnectionString);
            break;
        case settings::Group::Recognition:
            next.recognition = copy.recognition;
            break;
        case settings::Group::Smtp:
            next.smtp = copy.smtp;
            break;
        case settings::Group::CamerasExt:
            next.camerasExt = copy.camerasExt;
            break;
        case settings::Group::CameraList:
            next.cameraList = copy.cameraList;
            break;
        case settings::Group::Alerts:
            next.alerts = copy.alerts;
            break;
        case settings::Group::UPActionSet:
            next.upActions = copy.upActions;
            break;
        case settings::Group::CsvFormat:
            next.csvFormat = copy.csvFormat;
            break;
        case settings::Group::ScriptRecognized:
            next.scriptRecognized = copy.scriptRecognized;
            break;
        case settings::Group::ScriptUnrecognized:
            next.scriptUnrecognized = copy.scriptUnrecognized;
            break;
        case settings::Group::Management:
            next.management = copy.management;
            next.stations = copy.stations;
            break;
        case settings::Group::Window:
        case settings::Group::DbWin:
        case settings::Group::CurrentCamera:
        case settings::Group::ViewFeatures:
            // The window's own values: never planned, the sheet does not edit them.
            break;
        }
    }
}

bool SameCameraSource(const settings::CameraDescriptor& a, const settings::CameraDescriptor& b) {
    if (a.Type != b.Type || a.RotationFlag != b.RotationFlag || a.Mirroring != b.Mirroring) return false;
    if (a.Type == 1) return SameText(a.Source.Url, b.Source.Url);
    const auto& wa = a.Source.Web;
    const auto& wb = b.Source.Web;
    if (wa.CaptureDeviceNumber != wb.CaptureDeviceNumber ||
        wa.PreferredResolutionWidth != wb.PreferredResolutionWidth ||
        wa.PreferredResolutionHeight != wb.PreferredResolutionHeight)
        return false;
    return wa.CaptureDeviceNumber != -1 || SameText(wa.DevicePath, wb.DevicePath);
}

CameraDecision DecideCurrentCamera(const ApplyPlan& plan, const settings::CameraDescriptor& current, int currentIndex,
                                   bool running, const settings::CameraList& newList) {
    CameraDecision decision;
    if (!plan.cameraListChanged || currentIndex < 0) return decision;
    const int count = int(std::min<uint32_t>(newList.Count, settings::kMaxCameras));
    if (count == 0) {
        decision.outcome = CameraOutcome::Deselect;
        return decision;
    }
    for (int i = 0; i < count; ++i) {
        if (!SameCameraSource(current, newList.Cameras[i])) continue;
        decision.outcome = running ? CameraOutcome::FoundRunning : CameraOutcome::FoundIdle;
        decision.index = i;
        decision.name = platform::FromFixed(newList.Cameras[i].Name);
        decision.indexMoved = i != currentIndex;
        return decision;
    }
    decision.outcome = CameraOutcome::Lost;
    const QString name = platform::FromFixed(current.Name);
    for (int i = 0; i < count; ++i) {
        if (platform::FromFixed(newList.Cameras[i].Name) == name) {
            decision.index = i;
            decision.name = name;
            break;
        }
    }
    return decision;
}

}  // namespace ui
