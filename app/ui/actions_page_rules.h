#pragma once
// Purpose: the rules of the settings page "Действия": which record the event and list choices
//          edit, which controls each check box enables or shows, the script file filter, the sound
//          a row plays without a file, and the notes that stand in for missing sound and speech.
//          Also the mail parameters dialog's record and the `Velox --check` command line.
// Threads: the user-interface thread (it edits the sheet's copy).
// Owns: nothing; the records belong to the sheet's copy.

#include "app/actions/alert_outputs.h"
#include "app/actions/template_vocabulary.h"
#include "settings/groups.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ui {

enum class AlertEvent { Recognized = 0, Unrecognized = 1 };
// The stored script type: 0 a program started as it is, 1 a JScript file run by the runner.
enum class ScriptKind { Executable = 0, JScript = 1 };

// The fields both the alerts and the unrecognized-person actions have.
struct ActionFields {
    int32_t* script;
    int32_t* scriptType;
    char16_t* scriptFile;
    int32_t* sendMail;
};

class ActionsPageRules {
public:
    ActionsPageRules(settings::Alerts& alerts, settings::UPActionSet& unrecognized)
        : alerts_(alerts), unrecognized_(unrecognized) {}

    void SelectEvent(AlertEvent event);
    // A row of "Список персоны:" (0..3); anything else clears the choice.
    void SelectList(int row);
    AlertEvent Event() const { return event_; }
    std::optional<int> ListRow() const { return row_; }

    // Nothing of the record shows for "Персона распознана" until a list row is chosen.
    bool RecordShown() const { return event_ == AlertEvent::Unrecognized || row_.has_value(); }
    bool AlertControlsShown() const { return event_ == AlertEvent::Recognized && row_.has_value(); }

    // The alert of the chosen row; only while AlertControlsShown().
    settings::AlertSettings& Alert();
    const settings::AlertSettings& Alert() const;

    void SetPlayWav(bool on);
    QString SetWavFile(const QString& typed);
    QString SetSpeech(const QString& typed);
    void SetCsv(bool on);
    bool WavControlsEnabled() const { return Alert().PlayWav != 0; }
    bool SpeechTestEnabled() const { return Alert().Speech[0] != u'\0'; }
    // " Тест" with an empty file plays the row's own sound.
    actions::BuiltInSound RowSound() const;

    // The script and mail controls of the chosen record.
    void SetScript(bool on);
    void SetScriptKind(ScriptKind kind);
    QString SetScriptFile(const QString& typed);
    void SetSendMail(bool on);
    bool ScriptControlsShown() const;
    ScriptKind CurrentScriptKind() const;
    QString ScriptFile() const;
    bool MailButtonShown() const;
    // The placeholders of the chosen record's mail texts.
    actions::TemplateFamily MailFamily() const;

private:
    ActionFields Fields() const;

    settings::Alerts& alerts_;
    settings::UPActionSet& unrecognized_;
    AlertEvent event_ = AlertEvent::Recognized;
    std::optional<int> row_;
};

// The file dialog of a script: its filter follows the chosen kind.
QString ScriptFileFilter(ScriptKind kind);

// What replaces the sound controls when there is nothing to play on; nothing when there is.
std::optional<QString> MissingSoundNote(bool soundAvailable);
// What replaces the speech controls: no engine, or an engine without a Russian voice.
std::optional<QString> MissingSpeechNote(bool engineRunning, bool russianVoice);

// The texts of "Параметры отправляемого письма", taken from and given back to a record.
struct MailParameters {
    QString recipients;
    QString subject;
    QString body;  // line breaks as the record keeps them, CR LF
};

MailParameters MailParametersOf(const settings::AlertSettings& alert);
MailParameters MailParametersOf(const settings::UPActionSet& actions);
void TakeMailParameters(settings::AlertSettings& alert, const MailParameters& parameters);
void TakeMailParameters(settings::UPActionSet& actions, const MailParameters& parameters);

class MailParametersRules {
public:
    MailParametersRules(actions::TemplateFamily family, MailParameters parameters);

    QString SetRecipients(const QString& typed);
    QString SetSubject(const QString& typed);
    // The body as a multi-line field holds it (LF); false, and nothing changed, when the text
    // would not fit the record with its CR LF line breaks.
    bool SetBody(const QString& shown);
    // "Задать стандартные значения".
    void SetStandard();

    bool OkEnabled() const { return !parameters_.subject.isEmpty() && !parameters_.body.isEmpty(); }
    QString BodyShown() const;
    const MailParameters& Parameters() const { return parameters_; }
    actions::TemplateFamily Family() const { return family_; }

    static constexpr int kRecipientsMax = 2047;
    static constexpr int kSubjectMax = 1023;
    static constexpr int kBodyMax = 2047;

private:
    actions::TemplateFamily family_;
    MailParameters parameters_;
};

// "Velox --check FILE TYPE": the runner's arguments for a script file of the given kind.
QStringList ScriptCheckArguments(const QString& file, ScriptKind kind);

}  // namespace ui
