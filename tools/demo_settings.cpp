#include "tools/demo_settings.h"

#include "settings/groups.h"
#include "settings/registry_names.h"

namespace demo {

namespace {

namespace rn = settings::regnames;

struct ListAlert {
    const char16_t* speech;
};

// Records 1..3 of Alerts: the green, red and gray lists. Record 0 (every list) plays the sound
// and writes the CSV line; each list greets with its own words.
constexpr ListAlert kListAlerts[] = {
    {u"Здравствуйте, %ФИО%"},
    {u"Внимание! Красный список: %ФИО%"},
    {u"Серый список: %ФИО%"},
};

// Collects the first failure of a run of writes.
class Writer {
public:
    explicit Writer(platform::RegistryStore& store) : store_(store) {}
    void Key(const QString& key) { Keep(store_.CreateKey(key)); }
    void Dword(const QString& key, const QString& name, uint32_t value) { Keep(store_.SetDword(key, name, value)); }
    void Text(const QString& key, const QString& name, const QString& value) {
        Keep(store_.SetString(key, name, value));
    }
    void Replace(const QString& key) {
        if (store_.KeyExists(key)) Keep(store_.DeleteTree(key));
        Key(key);
    }
    int Result() const { return result_; }

private:
    void Keep(int code) {
        if (result_ == 0) result_ = code;
    }
    platform::RegistryStore& store_;
    int result_ = 0;
};

void WriteCamera(Writer& w, const DemoSettings& settings) {
    w.Replace(rn::kCameraKey);
    const QString camera = rn::NumberedKey(rn::kCameraKey, 0);
    w.Key(camera);
    w.Dword(camera, rn::camera::kType, 1);
    w.Text(camera, rn::camera::kName, QStringLiteral("Демонстрация"));
    w.Dword(camera, rn::camera::kRotationFlag, 0);
    w.Dword(camera, rn::camera::kMirroring, 0);
    w.Text(camera, rn::camera::kUrl, settings.cameraUrl);
    w.Dword(rn::kAppKey, rn::app::kCurrentCameraIndex, 0);
    w.Dword(rn::kAppKey, rn::app::kAutoStartLastCamera, 1);
    w.Dword(rn::kAppKey, rn::app::kFramedFace, 1);
    // The loop lasts a little over a minute: every pass announces its people again.
    w.Dword(rn::kAppKey, rn::app::kRememberRecognized, 1);
}

void WriteAlerts(Writer& w, const DemoSettings& settings) {
    w.Replace(rn::kAlertsKey);
    for (int record = 0; record < settings::kAlertCount; ++record) {
        const QString key = rn::NumberedKey(rn::kAlertsKey, record);
        const bool all = record == 0;
        w.Key(key);
        w.Dword(key, rn::alert::kPlayWav, 1);
        w.Text(key, rn::alert::kWavFile, QString());
        w.Text(key, rn::alert::kSpeech,
               all ? QStringLiteral("Внимание, %ФИО%") : QString::fromUtf16(kListAlerts[record - 1].speech));
        w.Dword(key, rn::alert::kCsv, all ? 1 : 0);
        w.Dword(key, rn::alert::kScript, 0);
        w.Dword(key, rn::alert::kSendMail, 0);
    }
    const QString csv = rn::kCsvKey + u'\\' + rn::kRecognizedPersons;
    w.Key(csv);
    w.Text(csv, rn::csv::kFolder, settings.csvFolder);
    w.Dword(csv, rn::csv::kEncode, 2);
    w.Dword(csv, rn::csv::kUseHeader, 1);

    w.Key(rn::kUPActionsKey);
    w.Dword(rn::kUPActionsKey, rn::alert::kScript, 1);
    w.Dword(rn::kUPActionsKey, rn::alert::kScriptType, 0);
    w.Text(rn::kUPActionsKey, rn::alert::kScriptFile, settings.unknownScript);
    w.Dword(rn::kUPActionsKey, rn::alert::kSendMail, 0);
    const QString script = rn::kScriptKey + u'\\' + rn::kUnrecognizedPersons;
    w.Key(script);
    w.Dword(script, rn::script::kTimeout, 30);
    w.Dword(script, rn::script::kImgFileFormat, 0);
}

void WriteManagement(Writer& w) {
    w.Dword(rn::kAppKey, rn::app::kAllowManagement, 1);
    w.Dword(rn::kAppKey, rn::app::kAllowUdpLocation, 0);
    w.Text(rn::kAppKey, rn::app::kPassword, kManagementPassword);
    // The server listens on every address; only this computer is admitted.
    w.Dword(rn::kAppKey, rn::app::kAcceptConnectionFlag, 1);
    w.Replace(rn::kAllowedStationKey);
    w.Text(rn::kAllowedStationKey, QStringLiteral("0"), QStringLiteral("127.0.0.1"));
}

}  // namespace

int WriteDemoSettings(platform::RegistryStore& store, const DemoSettings& settings) {
    Writer w(store);
    w.Key(rn::kAppKey);
    WriteCamera(w, settings);
    WriteAlerts(w, settings);
    WriteManagement(w);
    return w.Result();
}

}  // namespace demo
