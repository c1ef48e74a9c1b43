#include "settings/load_settings.h"

#include "platform/autorun.h"
#include "platform/paths.h"
#include "settings/registry_names.h"
#include "settings/station_list.h"
#include "settings/value_reader.h"

#include <algorithm>

namespace settings {

namespace rn = regnames;

namespace {

constexpr uint32_t kDefaultManagementPort = 21077;

uint32_t Clamp(uint32_t value, uint32_t low, uint32_t high) { return std::clamp(value, low, high); }

double ClampProportion(double value) { return std::clamp(value, 0.3, 0.7); }

void LoadWindowAndLists(const ValueReader& app, SettingsState& s) {
    s.Maximized = app.IntOr(rn::app::kMaximized, 0);
    s.windowPos.ScreenX = app.IntOr(rn::app::kScreenX, 10);
    s.windowPos.ScreenY = app.IntOr(rn::app::kScreenY, 10);
    s.windowPos.Width = app.IntOr(rn::app::kWidth, 850);
    s.windowPos.Height = app.IntOr(rn::app::kHeight, 650);
    s.PanelDivProportion = ClampProportion(app.DoubleOr(rn::app::kPanelDivProportion, 0.35));
    s.LeftPanelDivProportion = ClampProportion(app.DoubleOr(rn::app::kLeftPanelDivProportion, 0.5));
    s.DbDivProportion = ClampProportion(app.DoubleOr(rn::app::kDbDivProportion, 0.35));

    DbWinSettings& lists = s.dbWin;
    lists.WhiteList = app.IntOr(rn::app::kWhiteList, 1);
    lists.BlackList = app.IntOr(rn::app::kBlackList, 1);
    lists.GrayList = app.IntOr(rn::app::kGrayList, 1);
    if (lists.WhiteList == 0 && lists.BlackList == 0 && lists.GrayList == 0)
        lists.WhiteList = lists.BlackList = lists.GrayList = 1;
}

// One camera subkey into `slot`; false when a value is missing or has the wrong type.
bool LoadCamera(const ValueReader& key, CameraDescriptor& slot) {
    namespace cam = rn::camera;
    slot = CameraDescriptor{};
    if (key.TypedDword(cam::kType, &slot.Type) != ReadResult::Ok ||
        key.TypedText(cam::kName, slot.Name) != ReadResult::Ok ||
        key.TypedDword(cam::kRotationFlag, &slot.RotationFlag) != ReadResult::Ok ||
        key.TypedDword(cam::kMirroring, &slot.Mirroring) != ReadResult::Ok)
        return false;
    if (slot.Type != 0) {
        slot.Type = 1;
        if (key.TypedText(cam::kUrl, slot.Source.Url) != ReadResult::Ok) return false;
    } else {
        auto& web = slot.Source.Web;
        if (key.TypedDword(cam::kCaptureDeviceNumber, &web.CaptureDeviceNumber) != ReadResult::Ok ||
            key.TypedText(cam::kDevicePath, web.DevicePath) != ReadResult::Ok ||
            key.TypedDword(cam::kPreferredResolutionWidth, &web.PreferredResolutionWidth) != ReadResult::Ok ||
            key.TypedDword(cam::kPreferredResolutionHeight, &web.PreferredResolutionHeight) != ReadResult::Ok)
            return false;
    }
    if (uint32_t(slot.RotationFlag) > 3) slot.RotationFlag = 0;
    slot.InUse = 1;
    return true;
}

void LoadCameraList(const platform::RegistryStore& store, const ValueReader& app, SettingsState& s) {
    CameraList& list = s.cameraList;
    list = CameraList{};
    for (int n = 0; n < kMaxCameras; ++n) {
        const ValueReader key(store, rn::NumberedKey(rn::kCameraKey, n));
        if (!key.KeyExists()) break;
        // A camera that fails leaves its slot to the next one.
        if (LoadCamera(key, list.Cameras[list.Count]))
            ++list.Count;
        else
            list.Cameras[list.Count] = CameraDescriptor{};
    }
    const int32_t index = app.IntOr(rn::app::kCurrentCameraIndex, -1);
    s.CurrentCameraIndex = (index >= 0 && uint32_t(index) < list.Count) ? index : -1;
}

void LoadRecognition(const ValueReader& app, RecognitionSettings& r) {
    r.MaxSubject = Clamp(app.DwordOr(rn::app::kMaxSubject, 8), 1, 8);
    r.LikelyDistance = Clamp(app.DwordOr(rn::app::kLikelyDistance, 35), 15, 50);
    r.AssuranceDistance = std::min(Clamp(app.DwordOr(rn::app::kAssuranceDistance, 35), 15, 50), r.LikelyDistance);
    r.RepeatForRecognition = Clamp(app.DwordOr(rn::app::kRepeatForRecognition, 3), 1, 10);
    const uint32_t remember = app.DwordOr(rn::app::kRememberRecognized, 10);
    r.RememberRecognized = remember == 0 ? 1 : remember <= 60 ? remember : remember / 60 * 60;
    r.ShortInvisibility = app.IntOr(rn::app::kShortInvisibility, 0);
}

void LoadSmtp(const platform::RegistryStore& store, SmtpSettings& smtp) {
    namespace v = rn::smtp;
    const ValueReader key(store, rn::kSmtpKey);
    if (!key.KeyExists()) return;
    // The record is packed; go through locals for the integers.
    uint32_t port = smtp.SMTPServerPort;
    int32_t ssl = smtp.SMTPUseSSL, auth = smtp.SMTPAuthRequired;
    key.Text(v::kServer, smtp.SMTPServer);
    key.KeepDword(v::kServerPort, &port);
    key.KeepDword(v::kUseSsl, &ssl);
    key.Text(v::kOriginator, smtp.Originator);
    key.KeepDword(v::kAuthRequired, &auth);
    key.Text(v::kUserName, smtp.SendUserName);
    key.Text(v::kPassword, smtp.SendPassword);
    key.Text(v::kRecepients, smtp.Recepients);
    smtp.SMTPServerPort = port;
    smtp.SMTPUseSSL = ssl;
    smtp.SMTPAuthRequired = auth;
}

// Collects the reads of one alert: a missing value leaves its field empty, a value of the
// wrong type spoils the whole record.
class AlertRecordReader {
public:
    explicit AlertRecordReader(const ValueReader& key) : key_(key) {}
    void Dword(const QString& name, int32_t* field) { Note(key_.TypedDword(name, field)); }
    template <size_t N>
    void Text(const QString& name, char16_t (&field)[N]) {
        Note(key_.TypedText(name, field));
    }
    bool Spoiled() const { return spoiled_; }

private:
    void Note(ReadResult result) { spoiled_ = spoiled_ || result == ReadResult::WrongType; }
    const ValueReader& key_;
    bool spoiled_ = false;
};

void LoadAlert(const platform::RegistryStore& store, int n, AlertSettings& alert) {
    namespace v = rn::alert;
    const ValueReader key(store, rn::NumberedKey(rn::kAlertsKey, n));
    if (!key.KeyExists()) return;
    AlertSettings record{};
    AlertRecordReader reader(key);
    reader.Dword(v::kPlayWav, &record.PlayWav);
    reader.Text(v::kWavFile, record.WavFile);
    reader.Text(v::kSpeech, record.Speech);
    reader.Dword(v::kCsv, &record.CSV);
    reader.Dword(v::kScript, &record.Script);
    reader.Dword(v::kScriptType, &record.ScriptType);
    reader.Text(v::kScriptFile, record.ScriptFile);
    reader.Dword(v::kSendMail, &record.SendMail);
    reader.Text(v::kRecepients, record.Recepients);
    reader.Text(v::kSubjectFormat, record.SubjectFormat);
    reader.Text(v::kBodyFormat, record.BodyFormat);
    if (!reader.Spoiled()) alert = record;
}

void LoadUPActions(const platform::RegistryStore& store, UPActionSet& set) {
    namespace v = rn::alert;
    const ValueReader key(store, rn::kUPActionsKey);
    if (!key.KeyExists()) return;
    key.KeepDword(v::kScript, &set.Script);
    key.KeepDword(v::kScriptType, &set.ScriptType);
    key.Text(v::kScriptFile, set.ScriptFile);
    key.KeepDword(v::kSendMail, &set.SendMail);
    key.Text(v::kRecepients, set.Recepients);
    key.Text(v::kSubjectFormat, set.SubjectFormat);
    key.Text(v::kBodyFormat, set.BodyFormat);
}

void LoadCsvFormat(const platform::RegistryStore& store, CsvFormat& csv) {
    namespace v = rn::csv;
    csv = CsvFormat{};
    csv.RotatesNumber = 1;
    csv.SizeLimitMB = 5;
    csv.Encode = 1;
    const ValueReader key(store, rn::kCsvKey + QLatin1Char('\\') + rn::kRecognizedPersons);
    if (!key.KeyExists()) return;
    key.Text(v::kFolder, csv.Folder);
    csv.RotatesNumber = int32_t(Clamp(key.DwordOr(v::kRotatesNumber, uint32_t(csv.RotatesNumber)), 1, 9));
    csv.SizeLimitMB = int32_t(Clamp(key.DwordOr(v::kSizeLimitMB, uint32_t(csv.SizeLimitMB)), 1, 20));
    const uint32_t encode = key.DwordOr(v::kEncode, uint32_t(csv.Encode));
    csv.Encode = encode > 2 ? 0 : int32_t(encode);
    const uint32_t delimiter = key.DwordOr(v::kDelimiter, uint32_t(csv.Delimiter));
    csv.Delimiter = delimiter > 2 ? 0 : int32_t(delimiter);
    key.KeepDword(v::kUseHeader, &csv.UseHeader);
}

void LoadScriptFormat(const platform::RegistryStore& store, const QString& subkey, ScriptFormat& format) {
    namespace v = rn::script;
    format = ScriptFormat{};
    format.Timeout = -1;
    const ValueReader key(store, rn::kScriptKey + QLatin1Char('\\') + subkey);
    if (!key.KeyExists()) return;
    key.KeepDword(v::kTimeout, &format.Timeout);
    key.KeepDword(v::kAllowUI, &format.AllowUI);
    key.KeepDword(v::kImgFileFormat, &format.ImgFileFormat);
}

uint32_t LoadPort(const ValueReader& app, const QString& name) {
    const uint32_t port = app.DwordOr(name, kDefaultManagementPort);
    return port >= 32768 ? kDefaultManagementPort : port;
}

void LoadManagement(const platform::RegistryStore& store, const ValueReader& app, SettingsState& s) {
    ManagementServerSettings& m = s.management;
    m.AllowManagement = app.IntOr(rn::app::kAllowManagement, 0);
    m.TcpPort = LoadPort(app, rn::app::kTcpPort);
    m.AllowUdpLocation = m.AllowManagement != 0 ? app.IntOr(rn::app::kAllowUdpLocation, 0) : 0;
    m.UdpPort = LoadPort(app, rn::app::kUdpPort);
    app.TextOrEmpty(rn::app::kPassword, m.Password);
    s.stations.clear();
    m.AcceptConnectionFlag = 0;
    if (app.DwordOr(rn::app::kAcceptConnectionFlag, 0) == 1) {
        s.stations = LoadStationList(store, rn::kAllowedStationKey);
        m.AcceptConnectionFlag = s.stations.isEmpty() ? 0 : 1;
    }
}

void LoadCameraExtras(const ValueReader& app, SettingsState& s) {
    s.camerasExt.AutoStartLastCamera = app.IntOr(rn::app::kAutoStartLastCamera, 0);
    s.camerasExt.WaitConnectionTime = int32_t(Clamp(app.DwordOr(rn::app::kWaitConnectionTime, 60), 30, 180));
    s.camerasExt.WaitNewFrameTime = int32_t(Clamp(app.DwordOr(rn::app::kWaitNewFrameTime, 15), 10, 30));
    s.viewFeatures.FramedFace = app.IntOr(rn::app::kFramedFace, 1);
}

}  // namespace

void LoadSettingsFromStore(const platform::RegistryStore& store, SettingsState& s) {
    const ValueReader app(store, rn::kAppKey);
    if (!app.KeyExists()) return;
    LoadWindowAndLists(app, s);
    LoadCameraList(store, app, s);
    LoadRecognition(app, s.recognition);
    LoadSmtp(store, s.smtp);
    for (int n = 0; n < kAlertCount; ++n) LoadAlert(store, n, s.alerts.Items[n]);
    LoadUPActions(store, s.upActions);
    LoadCsvFormat(store, s.csvFormat);
    LoadScriptFormat(store, rn::kRecognizedPersons, s.scriptRecognized);
    LoadScriptFormat(store, rn::kUnrecognizedPersons, s.scriptUnrecognized);
    LoadManagement(store, app, s);
    LoadCameraExtras(app, s);
    app.TextOrEmpty(rn::app::kDbConnectionString, s.DbConnectionString);
    s.AutoRun = IsAutoRunSet();
}

SettingsState LoadSettingsFromRegistry() {
    SettingsState state;
    platform::RegistryStore store(platform::RegistryFilePath());
    if (store.Load() == 0) LoadSettingsFromStore(store, state);
    return state;
}

bool IsAutoRunSet() {
    QString path;
    return platform::QueryAutorun(&path) == 0 && path.compare(platform::ProgramFilePath(), Qt::CaseInsensitive) == 0;
}

}  // namespace settings
