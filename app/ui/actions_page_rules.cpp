#include "app/ui/actions_page_rules.h"

#include "app/ui/sheet_fields.h"
#include "platform/contract.h"
#include "platform/fixedtext.h"

#include <type_traits>

namespace ui {

namespace {

constexpr actions::BuiltInSound kRowSounds[settings::kAlertCount] = {
    actions::BuiltInSound::AllLists, actions::BuiltInSound::GreenList, actions::BuiltInSound::RedList,
    actions::BuiltInSound::GrayList};

constexpr size_t kScriptFileChars = std::extent_v<decltype(settings::UPActionSet::ScriptFile)>;
static_assert(kScriptFileChars == std::extent_v<decltype(settings::AlertSettings::ScriptFile)>);

QString StoredBody(const QString& shown) {
    QString body = shown;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(u'\n', QStringLiteral("\r\n"));
    return body;
}

template <typename Record>
MailParameters ParametersOf(const Record& record) {
    return {platform::FromFixed(record.Recepients), platform::FromFixed(record.SubjectFormat),
            platform::FromFixed(record.BodyFormat)};
}

template <typename Record>
void Take(Record& record, const MailParameters& parameters) {
    platform::CopyToFixed(record.Recepients, parameters.recipients);
    platform::CopyToFixed(record.SubjectFormat, parameters.subject);
    platform::CopyToFixed(record.BodyFormat, parameters.body);
}

}  // namespace

void ActionsPageRules::SelectEvent(AlertEvent event) { event_ = event; }

void ActionsPageRules::SelectList(int row) {
    if (row >= 0 && row < settings::kAlertCount)
        row_ = row;
    else
        row_.reset();
}

settings::AlertSettings& ActionsPageRules::Alert() {
    OSTROVID_ASSERT(AlertControlsShown(), "an alert is edited only with its list row chosen");
    return alerts_.Items[*row_];
}

const settings::AlertSettings& ActionsPageRules::Alert() const {
    OSTROVID_ASSERT(AlertControlsShown(), "an alert is edited only with its list row chosen");
    return alerts_.Items[*row_];
}

void ActionsPageRules::SetPlayWav(bool on) { Alert().PlayWav = on ? 1 : 0; }

QString ActionsPageRules::SetWavFile(const QString& typed) { return StoreText(Alert().WavFile, typed, Blanks::Kept); }

QString ActionsPageRules::SetSpeech(const QString& typed) { return StoreText(Alert().Speech, typed, Blanks::Kept); }

void ActionsPageRules::SetCsv(bool on) { Alert().CSV = on ? 1 : 0; }

actions::BuiltInSound ActionsPageRules::RowSound() const { return kRowSounds[*row_]; }

ActionFields ActionsPageRules::Fields() const {
    if (event_ == AlertEvent::Unrecognized)
        return {&unrecognized_.Script, &unrecognized_.ScriptType, unrecognized_.ScriptFile, &unrecognized_.SendMail};
    settings::AlertSettings& alert = alerts_.Items[*row_];
    return {&alert.Script, &alert.ScriptType, alert.ScriptFile, &alert.SendMail};
}

void ActionsPageRules::SetScript(bool on) { *Fields().script = on ? 1 : 0; }

void ActionsPageRules::SetScriptKind(ScriptKind kind) { *Fields().scriptType = int32_t(kind); }

QString ActionsPageRules::SetScriptFile(const QString& typed) {
    QString text = typed;
    text.truncate(kScriptFileChars - 1);
    platform::CopyToFixed(Fields().scriptFile, kScriptFileChars, text);
    return text;
}

void ActionsPageRules::SetSendMail(bool on) { *Fields().sendMail = on ? 1 : 0; }

bool ActionsPageRules::ScriptControlsShown() const { return RecordShown() && *Fields().script != 0; }

ScriptKind ActionsPageRules::CurrentScriptKind() const {
    // A stored value other than 1 is shown as the executable kind.
    return *Fields().scriptType == int32_t(ScriptKind::JScript) ? ScriptKind::JScript : ScriptKind::Executable;
}

QString ActionsPageRules::ScriptFile() const { return platform::FromFixed(Fields().scriptFile, kScriptFileChars); }

bool ActionsPageRules::MailButtonShown() const { return RecordShown() && *Fields().sendMail != 0; }

actions::TemplateFamily ActionsPageRules::MailFamily() const {
    return event_ == AlertEvent::Recognized ? actions::TemplateFamily::RecognizedMail
                                            : actions::TemplateFamily::UnrecognizedMail;
}

QString ScriptFileFilter(ScriptKind kind) {
    return kind == ScriptKind::JScript ? QStringLiteral("JScript (*.js)") : QStringLiteral("Все файлы (*)");
}

std::optional<QString> MissingSoundNote(bool soundAvailable) {
    if (soundAvailable) return std::nullopt;
    return QStringLiteral("Отсутствуют устройства воспроизведения звука");
}

std::optional<QString> MissingSpeechNote(bool engineRunning, bool russianVoice) {
    if (!engineRunning) return QStringLiteral("Microsoft Speech не поддерживается");
    if (!russianVoice) return QStringLiteral("Отсутствует русский голос Microsoft Speech");
    return std::nullopt;
}

MailParameters MailParametersOf(const settings::AlertSettings& alert) { return ParametersOf(alert); }
MailParameters MailParametersOf(const settings::UPActionSet& actions) { return ParametersOf(actions); }
void TakeMailParameters(settings::AlertSettings& alert, const MailParameters& parameters) { Take(alert, parameters); }
void TakeMailParameters(settings::UPActionSet& actions, const MailParameters& parameters) { Take(actions, parameters); }

MailParametersRules::MailParametersRules(actions::TemplateFamily family, MailParameters parameters)
    : family_(family), parameters_(std::move(parameters)) {}

QString MailParametersRules::SetRecipients(const QString& typed) {
    parameters_.recipients = typed.trimmed().left(kRecipientsMax);
    return parameters_.recipients;
}

QString MailParametersRules::SetSubject(const QString& typed) {
    parameters_.subject = typed.left(kSubjectMax);
    return parameters_.subject;
}

bool MailParametersRules::SetBody(const QString& shown) {
    QString body = StoredBody(shown);
    if (body.size() > kBodyMax) return false;
    parameters_.body = std::move(body);
    return true;
}

void MailParametersRules::SetStandard() {
    const actions::MailTemplate standard = actions::StandardMailTemplate(family_);
    parameters_.subject = standard.subject.toString();
    parameters_.body = StoredBody(standard.body.toString());
}

QString MailParametersRules::BodyShown() const {
    QString shown = parameters_.body;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QStringList ScriptCheckArguments(const QString& file, ScriptKind kind) {
    return {QStringLiteral("--check"), file, QString::number(int(kind))};
}

}  // namespace ui
