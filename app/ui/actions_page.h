#pragma once
// Purpose: the settings page "Действия": per event (and, for a recognized person, per list row)
//          the sound, speech, CSV, script and mail settings of the sheet's copy, the sound and
//          speech tests, the mail parameters dialog and the script check, which runs
//          "Velox --check" as a child process while the window stays usable. The rules are
//          ActionsPageRules'; this widget shows them.
// Threads: the user-interface thread only (the child process reports there too).
// Owns: its child widgets and the script check under way (ended when the page goes).

#include "app/actions/alert_outputs.h"
#include "app/actions/speech_voice.h"
#include "app/ui/actions_page_rules.h"
#include "app/ui/page_notice.h"
#include "app/ui/script_check.h"
#include "settings/settings_state.h"

#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProcess;
class QPushButton;
class QRadioButton;

namespace ui {

enum class SpeechSupport { NoEngine, NoRussianVoice, Ready };

class ActionsPage final : public QWidget {
public:
    struct Services {
        std::function<bool()> soundAvailable;
        // Both return at once; the sound plays on.
        std::function<void(const QString& wavFile)> playFile;
        std::function<void(actions::BuiltInSound)> playBuiltIn;
        std::function<SpeechSupport()> speechSupport;
        // "Спич тест" of a speech template: the edited text on OK, nothing when cancelled.
        std::function<std::optional<QString>(QWidget* owner, const QString& text)> speechTest;
        // An open-file dialog: the chosen path, nothing when cancelled.
        std::function<std::optional<QString>(QWidget* owner, const QString& caption, const QString& start,
                                             const QString& filter)>
            chooseFile;
        // "Параметры отправляемого письма" on a copy: the edited texts on OK.
        std::function<std::optional<MailParameters>(QWidget* owner, actions::TemplateFamily, const MailParameters&)>
            editMail;
        // The script runner the check starts.
        QString runnerPath;
        std::function<void(QWidget* owner, const PageNotice&)> notice;
    };
    // The program's own: its sound output, its speech engine (null: none), the dialogs, the runner
    // beside the program and message boxes.
    static Services ProgramServices(actions::AlertOutputs& outputs, actions::SpeechVoices* voices);

    ActionsPage(settings::SettingsState& copy, Services services, QWidget* parent = nullptr);
    ~ActionsPage() override;

    bool CheckRunning() const { return check_ != nullptr; }

private:
    void BuildAlertControls(QWidget* box);
    void BuildRecordControls(QWidget* box);
    void ShowRecord();
    void ShowEnabling();
    void TestSound();
    void TestSpeech();
    void BrowseWav();
    void BrowseScript();
    void EditMail();
    void StartCheck();
    void CheckEnded(const ScriptCheckRun& run);
    // A chosen path the field cannot hold whole is refused, not cut to name another file.
    std::optional<QString> ChooseFile(const QString& caption, const QString& current, const QString& filter,
                                      int maxChars);

    settings::SettingsState& copy_;
    ActionsPageRules rules_;
    Services services_;
    bool soundAvailable_ = false;
    SpeechSupport speech_ = SpeechSupport::NoEngine;

    QComboBox* event_ = nullptr;
    QWidget* listBox_ = nullptr;
    QListWidget* list_ = nullptr;
    QWidget* alertBox_ = nullptr;
    QWidget* recordBox_ = nullptr;
    QCheckBox* playWav_ = nullptr;
    QLineEdit* wavFile_ = nullptr;
    QPushButton* browseWav_ = nullptr;
    QPushButton* testWav_ = nullptr;
    QLineEdit* speechText_ = nullptr;
    QPushButton* testSpeech_ = nullptr;
    QCheckBox* csv_ = nullptr;
    QCheckBox* script_ = nullptr;
    QWidget* scriptBox_ = nullptr;
    QRadioButton* executable_ = nullptr;
    QRadioButton* jScript_ = nullptr;
    QLineEdit* scriptFile_ = nullptr;
    QPushButton* checkScript_ = nullptr;
    QCheckBox* sendMail_ = nullptr;
    QPushButton* mailParameters_ = nullptr;
    QProcess* check_ = nullptr;
};

}  // namespace ui
