#include "app/ui/actions_page.h"

#include "app/actions/velox_link.h"
#include "app/ui/insertion_popup.h"
#include "app/ui/mail_parameters_dialog.h"
#include "app/ui/sheet_fields.h"
#include "app/ui/speech_test_dialog.h"
#include "platform/fixedtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace ui {

namespace {

QLineEdit* AddLine(QWidget* parent, const QString& name, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

QPushButton* AddButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QString FolderOf(const QString& file) { return file.isEmpty() ? QString() : QFileInfo(file).absolutePath(); }

}  // namespace

ActionsPage::Services ActionsPage::ProgramServices(actions::AlertOutputs& outputs, actions::SpeechVoices* voices) {
    Services services;
    services.soundAvailable = [&outputs] { return outputs.SoundAvailable(); };
    services.playFile = [&outputs](const QString& wavFile) { outputs.PlayAlertSound(wavFile); };
    services.playBuiltIn = [&outputs](actions::BuiltInSound sound) { outputs.PlayAlertSound(sound); };
    services.speechSupport = [&outputs, voices] {
        // A stopped engine has no voices at all; a running one without the Russian voice cannot alert.
        if (voices == nullptr || voices->VoiceCount() == 0) return SpeechSupport::NoEngine;
        return outputs.SpeechAvailable() ? SpeechSupport::Ready : SpeechSupport::NoRussianVoice;
    };
    services.speechTest = [voices](QWidget* owner, const QString& text) -> std::optional<QString> {
        if (voices == nullptr) return std::nullopt;
        return RunTemplateSpeechTest(owner, *voices, text);
    };
    services.chooseFile = [](QWidget* owner, const QString& caption, const QString& start,
                             const QString& filter) -> std::optional<QString> {
        const QString chosen = QFileDialog::getOpenFileName(owner, caption, start, filter);
        if (chosen.isEmpty()) return std::nullopt;
        return chosen;
    };
    services.editMail = EditMailParameters;
    services.runnerPath = actions::DefaultVeloxRunnerPath();
    services.notice = ShowPageNotice;
    return services;
}

ActionsPage::ActionsPage(settings::SettingsState& copy, Services services, QWidget* parent)
    : QWidget(parent), copy_(copy), rules_(copy.alerts, copy.upActions), services_(std::move(services)) {
    setObjectName(QStringLiteral("ActionsPage"));
    setWindowTitle(QStringLiteral("Действия"));
    // Taken once: the devices are those found at start-up.
    soundAvailable_ = services_.soundAvailable();
    speech_ = services_.speechSupport();

    auto* layout = new QVBoxLayout(this);
    auto* eventRow = new QHBoxLayout;
    eventRow->addWidget(new QLabel(QStringLiteral("Событие:"), this));
    event_ = new QComboBox(this);
    event_->setObjectName(QStringLiteral("Event"));
    event_->addItems({QStringLiteral("Персона распознана"), QStringLiteral("Персона не распознана")});
    eventRow->addWidget(event_, 1);
    layout->addLayout(eventRow);

    listBox_ = new QWidget(this);
    auto* listLayout = new QVBoxLayout(listBox_);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(new QLabel(QStringLiteral("Список персоны:"), listBox_));
    list_ = new QListWidget(listBox_);
    list_->setObjectName(QStringLiteral("AlertList"));
    list_->addItems({QStringLiteral("Для всех списков"), QStringLiteral("Зеленый список"),
                     QStringLiteral("Красный список"), QStringLiteral("Серый список")});
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFixedHeight(list_->sizeHintForRow(0) * (settings::kAlertCount + 1));
    listLayout->addWidget(list_);
    layout->addWidget(listBox_);

    alertBox_ = new QWidget(this);
    alertBox_->setObjectName(QStringLiteral("AlertControls"));
    BuildAlertControls(alertBox_);
    layout->addWidget(alertBox_);
    recordBox_ = new QWidget(this);
    recordBox_->setObjectName(QStringLiteral("RecordControls"));
    BuildRecordControls(recordBox_);
    layout->addWidget(recordBox_);
    layout->addStretch(1);

    connect(event_, &QComboBox::currentIndexChanged, this, [this](int index) {
        rules_.SelectEvent(index == int(AlertEvent::Unrecognized) ? AlertEvent::Unrecognized : AlertEvent::Recognized);
        ShowRecord();
    });
    // The selection, not the current row: a list that only takes the focus has chosen nothing.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = list_->selectedItems();
        rules_.SelectList(selected.isEmpty() ? -1 : list_->row(selected.front()));
        ShowRecord();
    });
    ShowRecord();
}

ActionsPage::~ActionsPage() {
    if (check_ == nullptr) return;
    // The page goes first: the runner is ended and nothing of it is reported.
    check_->disconnect(this);
    check_->kill();
    check_->waitForFinished();
}

void ActionsPage::BuildAlertControls(QWidget* box) {
    const settings::AlertSettings& sample = copy_.alerts.Items[0];
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* sound = new QWidget(box);
    sound->setObjectName(QStringLiteral("SoundControls"));
    auto* soundLayout = new QGridLayout(sound);
    soundLayout->setContentsMargins(0, 0, 0, 0);
    playWav_ = new QCheckBox(QStringLiteral("Проигрывать звуковой файл"), sound);
    playWav_->setObjectName(QStringLiteral("PlayWav"));
    soundLayout->addWidget(playWav_, 0, 0, 1, 3);
    wavFile_ = AddLine(sound, QStringLiteral("WavFile"), MaxChars(sample.WavFile));
    soundLayout->addWidget(wavFile_, 1, 0);
    browseWav_ = AddButton(sound, QStringLiteral("BrowseWav"), QStringLiteral("..."));
    soundLayout->addWidget(browseWav_, 1, 1);
    testWav_ = AddButton(sound, QStringLiteral("TestWav"), QStringLiteral(" Тест"));
    soundLayout->addWidget(testWav_, 1, 2);
    soundLayout->setColumnStretch(0, 1);
    layout->addWidget(sound);
    auto* soundNote = new QLabel(MissingSoundNote(soundAvailable_).value_or(QString()), box);
    soundNote->setObjectName(QStringLiteral("SoundNote"));
    layout->addWidget(soundNote);
    sound->setVisible(soundAvailable_);
    soundNote->setVisible(!soundAvailable_);

    auto* speech = new QWidget(box);
    speech->setObjectName(QStringLiteral("SpeechControls"));
    auto* speechLayout = new QGridLayout(speech);
    speechLayout->setContentsMargins(0, 0, 0, 0);
    speechLayout->addWidget(new QLabel(QStringLiteral("Произносить спич:"), speech), 0, 0, 1, 2);
    speechText_ = AddLine(speech, QStringLiteral("Speech"), MaxChars(sample.Speech));
    AttachInsertionPopup(speechText_, actions::InsertionListOf(actions::TemplateFamily::Speech));
    speechLayout->addWidget(speechText_, 1, 0);
    testSpeech_ = AddButton(speech, QStringLiteral("TestSpeech"), QStringLiteral(" Тест"));
    speechLayout->addWidget(testSpeech_, 1, 1);
    speechLayout->setColumnStretch(0, 1);
    layout->addWidget(speech);
    const std::optional<QString> speechMissing =
        MissingSpeechNote(speech_ != SpeechSupport::NoEngine, speech_ == SpeechSupport::Ready);
    auto* speechNote = new QLabel(speechMissing.value_or(QString()), box);
    speechNote->setObjectName(QStringLiteral("SpeechNote"));
    layout->addWidget(speechNote);
    speech->setVisible(!speechMissing);
    speechNote->setVisible(speechMissing.has_value());

    csv_ = new QCheckBox(QStringLiteral("Записывать в CSV файл"), box);
    csv_->setObjectName(QStringLiteral("CSV"));
    layout->addWidget(csv_);

    connect(playWav_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.SetPlayWav(on);
        ShowEnabling();
    });
    connect(wavFile_, &QLineEdit::textChanged, this, [this](const QString& typed) {
        const QString kept = rules_.SetWavFile(typed);
        if (kept != typed) wavFile_->setText(kept);
    });
    connect(browseWav_, &QPushButton::clicked, this, [this] { BrowseWav(); });
    connect(testWav_, &QPushButton::clicked, this, [this] { TestSound(); });
    connect(speechText_, &QLineEdit::textChanged, this, [this](const QString& typed) {
        const QString kept = rules_.SetSpeech(typed);
        if (kept != typed) speechText_->setText(kept);
        ShowEnabling();
    });
    connect(testSpeech_, &QPushButton::clicked, this, [this] { TestSpeech(); });
    connect(csv_, &QCheckBox::toggled, this, [this](bool on) { rules_.SetCsv(on); });
}

void ActionsPage::BuildRecordControls(QWidget* box) {
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    script_ = new QCheckBox(QStringLiteral("Запуск скрипта:"), box);
    script_->setObjectName(QStringLiteral("Script"));
    layout->addWidget(script_);

    scriptBox_ = new QWidget(box);
    scriptBox_->setObjectName(QStringLiteral("ScriptControls"));
    auto* scriptLayout = new QGridLayout(scriptBox_);
    scriptLayout->setContentsMargins(0, 0, 0, 0);
    // Type 0 starts the file itself, with the event in its environment.
    executable_ = new QRadioButton(QStringLiteral("Исполняемый файл"), scriptBox_);
    executable_->setObjectName(QStringLiteral("Executable"));
    jScript_ = new QRadioButton(QStringLiteral("JScript"), scriptBox_);
    jScript_->setObjectName(QStringLiteral("JScript"));
    scriptLayout->addWidget(executable_, 0, 0);
    scriptLayout->addWidget(jScript_, 0, 1);
    scriptFile_ = AddLine(scriptBox_, QStringLiteral("ScriptFile"), MaxChars(copy_.upActions.ScriptFile));
    scriptLayout->addWidget(scriptFile_, 1, 0, 1, 2);
    auto* browse = AddButton(scriptBox_, QStringLiteral("BrowseScript"), QStringLiteral("..."));
    scriptLayout->addWidget(browse, 1, 2);
    checkScript_ = AddButton(scriptBox_, QStringLiteral("CheckScript"), QStringLiteral("Проверить скрипт"));
    scriptLayout->addWidget(checkScript_, 2, 0, 1, 3, Qt::AlignLeft);
    scriptLayout->setColumnStretch(1, 1);
    layout->addWidget(scriptBox_);

    sendMail_ = new QCheckBox(QStringLiteral("Посылать e-mail"), box);
    sendMail_->setObjectName(QStringLiteral("SendMail"));
    layout->addWidget(sendMail_);
    mailParameters_ = AddButton(box, QStringLiteral("MailParameters"), QStringLiteral("Параметры письма..."));
    layout->addWidget(mailParameters_, 0, Qt::AlignLeft);

    connect(script_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.SetScript(on);
        ShowEnabling();
    });
    connect(executable_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rules_.SetScriptKind(ScriptKind::Executable);
    });
    connect(jScript_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rules_.SetScriptKind(ScriptKind::JScript);
    });
    connect(scriptFile_, &QLineEdit::textChanged, this, [this](const QString& typed) {
        const QString kept = rules_.SetScriptFile(typed);
        if (kept != typed) scriptFile_->setText(kept);
        ShowEnabling();
    });
    connect(browse, &QPushButton::clicked, this, [this] { BrowseScript(); });
    connect(checkScript_, &QPushButton::clicked, this, [this] { StartCheck(); });
    connect(sendMail_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.SetSendMail(on);
        ShowEnabling();
    });
    connect(mailParameters_, &QPushButton::clicked, this, [this] { EditMail(); });
}

void ActionsPage::ShowRecord() {
    std::vector<QSignalBlocker> quiet;
    for (QObject* input : std::initializer_list<QObject*>{playWav_, wavFile_, speechText_, csv_, script_, executable_,
                                                          jScript_, scriptFile_, sendMail_})
        quiet.emplace_back(input);
    listBox_->setVisible(rules_.Event() == AlertEvent::Recognized);
    alertBox_->setVisible(rules_.AlertControlsShown());
    recordBox_->setVisible(rules_.RecordShown());
    if (rules_.AlertControlsShown()) {
        const settings::AlertSettings& alert = rules_.Alert();
        playWav_->setChecked(alert.PlayWav != 0);
        wavFile_->setText(platform::FromFixed(alert.WavFile));
        speechText_->setText(platform::FromFixed(alert.Speech));
        csv_->setChecked(alert.CSV != 0);
    }
    if (rules_.RecordShown()) {
        script_->setChecked(rules_.ScriptControlsShown());
        (rules_.CurrentScriptKind() == ScriptKind::JScript ? jScript_ : executable_)->setChecked(true);
        scriptFile_->setText(rules_.ScriptFile());
        sendMail_->setChecked(rules_.MailButtonShown());
    }
    ShowEnabling();
}

void ActionsPage::ShowEnabling() {
    if (rules_.AlertControlsShown()) {
        const bool wav = rules_.WavControlsEnabled();
        wavFile_->setEnabled(wav);
        browseWav_->setEnabled(wav);
        testWav_->setEnabled(wav);
        testSpeech_->setEnabled(rules_.SpeechTestEnabled());
    }
    scriptBox_->setVisible(rules_.ScriptControlsShown());
    mailParameters_->setVisible(rules_.MailButtonShown());
    checkScript_->setEnabled(rules_.ScriptControlsShown() && !rules_.ScriptFile().isEmpty() && !CheckRunning());
}

void ActionsPage::TestSound() {
    const QString file = platform::FromFixed(rules_.Alert().WavFile);
    if (file.isEmpty())
        services_.playBuiltIn(rules_.RowSound());
    else
        services_.playFile(file);
}

void ActionsPage::TestSpeech() {
    if (const std::optional<QString> edited = services_.speechTest(this, platform::FromFixed(rules_.Alert().Speech)))
        speechText_->setText(*edited);
}

std::optional<QString> ActionsPage::ChooseFile(const QString& caption, const QString& current, const QString& filter,
                                               int maxChars) {
    const std::optional<QString> chosen = services_.chooseFile(this, caption, FolderOf(current), filter);
    if (!chosen || chosen->size() <= maxChars) return chosen;
    services_.notice(
        this, {NoticeKind::Error, QStringLiteral("Путь к файлу длиннее %1 символов:\n%2").arg(maxChars).arg(*chosen)});
    return std::nullopt;
}

void ActionsPage::BrowseWav() {
    if (const std::optional<QString> chosen =
            ChooseFile(QStringLiteral("Выберите звуковой файл"), wavFile_->text(),
                       QStringLiteral("Звуковые файлы (*.wav)"), wavFile_->maxLength()))
        wavFile_->setText(*chosen);
}

void ActionsPage::BrowseScript() {
    if (const std::optional<QString> chosen =
            ChooseFile(QStringLiteral("Выберите файл скрипта"), scriptFile_->text(),
                       ScriptFileFilter(rules_.CurrentScriptKind()), scriptFile_->maxLength()))
        scriptFile_->setText(*chosen);
}

void ActionsPage::EditMail() {
    const bool alert = rules_.AlertControlsShown();
    const MailParameters current = alert ? MailParametersOf(rules_.Alert()) : MailParametersOf(copy_.upActions);
    const std::optional<MailParameters> edited = services_.editMail(this, rules_.MailFamily(), current);
    if (!edited) return;
    if (alert)
        TakeMailParameters(rules_.Alert(), *edited);
    else
        TakeMailParameters(copy_.upActions, *edited);
}

void ActionsPage::StartCheck() {
    const QString file = rules_.ScriptFile();
    if (CheckRunning() || file.isEmpty()) return;
    check_ = new QProcess(this);
    check_->setProgram(services_.runnerPath);
    check_->setArguments(ScriptCheckArguments(file, rules_.CurrentScriptKind()));
    check_->setStandardInputFile(QProcess::nullDevice());
    connect(check_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        CheckEnded({status == QProcess::CrashExit ? ScriptCheckEnd::Crashed : ScriptCheckEnd::Exited,
                    exitCode,
                    QString::fromLocal8Bit(check_->readAllStandardOutput()),
                    QString::fromLocal8Bit(check_->readAllStandardError()),
                    {}});
    });
    // A runner that started reports through finished, whatever else goes wrong.
    connect(check_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            CheckEnded({ScriptCheckEnd::NotStarted, 0, {}, {}, check_->errorString()});
    });
    check_->start();
    ShowEnabling();
}

void ActionsPage::CheckEnded(const ScriptCheckRun& run) {
    std::exchange(check_, nullptr)->deleteLater();
    ShowEnabling();
    services_.notice(this, ScriptCheckNotice(run));
}

}  // namespace ui
