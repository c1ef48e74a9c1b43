#include "app/ui/formats_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <chrono>
#include <utility>

namespace ui {

namespace {

using namespace std::chrono_literals;

QLineEdit* AddNumber(QWidget* parent, const QString& name, int digits, const QString& text,
                     const std::function<std::optional<QString>(const QString&)>& set) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setMaxLength(digits);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, set](const QString& typed) {
        if (const std::optional<QString> shown = set(typed)) edit->setText(*shown);
    });
    return edit;
}

QComboBox* AddChoice(QWidget* parent, const QString& name, const QStringList& items, int current,
                     const std::function<void(int)>& set) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setCurrentIndex(current);
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, set);
    return combo;
}

QCheckBox* AddCheck(QWidget* parent, const QString& name, const QString& caption) {
    auto* check = new QCheckBox(caption, parent);
    check->setObjectName(name);
    return check;
}

}  // namespace

FormatsPage::Services FormatsPage::ProgramServices() {
    Services services;
    services.chooseFolder = [](QWidget* owner, const QString& caption, const QString& start) -> std::optional<QString> {
        const QString chosen = QFileDialog::getExistingDirectory(owner, caption, start);
        if (chosen.isEmpty()) return std::nullopt;
        return chosen;
    };
    services.openFile = [](const QString& file) { QDesktopServices::openUrl(QUrl::fromLocalFile(file)); };
    services.notice = ShowPageNotice;
    return services;
}

FormatsPage::FormatsPage(settings::SettingsState& copy, Services services, QWidget* parent)
    : QWidget(parent),
      rules_(copy.csvFormat, copy.scriptRecognized, copy.scriptUnrecognized),
      services_(std::move(services)) {
    setObjectName(QStringLiteral("FormatsPage"));
    setWindowTitle(QStringLiteral("Форматы и параметры"));
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("FormatTabs"));
    tabs->addTab(BuildCsvTab(), QStringLiteral("CSV-файлы"));
    tabs->addTab(BuildScriptTab(), QStringLiteral("Скрипты"));
    layout->addWidget(tabs);
    ShowLogPath();
    ShowScript();
}

QWidget* FormatsPage::BuildCsvTab() {
    auto* tab = new QWidget(this);
    auto* form = new QFormLayout(tab);
    const settings::CsvFormat& csv = rules_.Csv();

    form->addRow(QStringLiteral("Событие:"),
                 AddChoice(tab, QStringLiteral("CsvEvent"), {QStringLiteral("Персона распознана")}, 0, [](int) {}));

    path_ = new QLineEdit(tab);
    path_->setObjectName(QStringLiteral("LogFilePath"));
    path_->setReadOnly(true);
    form->addRow(QStringLiteral("Путь к файлу:"), path_);
    auto* buttons = new QHBoxLayout;
    auto* open = new QPushButton(QStringLiteral("Открыть"), tab);
    open->setObjectName(QStringLiteral("OpenLog"));
    auto* byDefault = new QPushButton(QStringLiteral("Задать папку по умолчанию"), tab);
    byDefault->setObjectName(QStringLiteral("DefaultFolder"));
    auto* other = new QPushButton(QStringLiteral("Задать другую папку..."), tab);
    other->setObjectName(QStringLiteral("OtherFolder"));
    buttons->addWidget(open);
    buttons->addWidget(byDefault);
    buttons->addWidget(other);
    buttons->addStretch(1);
    form->addRow(buttons);
    connect(open, &QPushButton::clicked, this, [this] { OpenLog(); });
    connect(byDefault, &QPushButton::clicked, this, [this] {
        rules_.SetDefaultFolder();
        ShowLogPath();
    });
    connect(other, &QPushButton::clicked, this, [this] { ChooseOtherFolder(); });

    form->addRow(QStringLiteral("Максимальный размер файла (МБ):"),
                 AddNumber(tab, QStringLiteral("SizeLimitMB"), FormatsPageRules::kSizeLimitDigits,
                           QString::number(csv.SizeLimitMB),
                           [this](const QString& typed) { return rules_.SetSizeLimit(typed); }));
    form->addRow(QStringLiteral("Число ротаций файла:"),
                 AddNumber(tab, QStringLiteral("RotatesNumber"), FormatsPageRules::kRotatesDigits,
                           QString::number(csv.RotatesNumber),
                           [this](const QString& typed) { return rules_.SetRotates(typed); }));
    form->addRow(QStringLiteral("Кодировка:"),
                 AddChoice(tab, QStringLiteral("Encode"),
                           {QStringLiteral("Windows ANSI"), QStringLiteral("Unicode"), QStringLiteral("UTF-8")},
                           csv.Encode, [this](int index) { rules_.SetEncode(index); }));
    form->addRow(QStringLiteral("Разделитель:"),
                 AddChoice(tab, QStringLiteral("Delimiter"),
                           {QStringLiteral("Символ табуляции"), QStringLiteral("Символ точка с запятой"),
                            QStringLiteral("Символ запятой")},
                           csv.Delimiter, [this](int index) { rules_.SetDelimiter(index); }));
    QCheckBox* header =
        AddCheck(tab, QStringLiteral("UseHeader"), QStringLiteral("Первая строка содержит заголовки столбцов"));
    header->setChecked(csv.UseHeader != 0);
    connect(header, &QCheckBox::toggled, this, [this](bool on) { rules_.SetUseHeader(on); });
    form->addRow(header);
    return tab;
}

QWidget* FormatsPage::BuildScriptTab() {
    auto* tab = new QWidget(this);
    auto* layout = new QVBoxLayout(tab);
    auto* eventRow = new QHBoxLayout;
    eventRow->addWidget(new QLabel(QStringLiteral("Событие:"), tab));
    eventRow->addWidget(AddChoice(tab, QStringLiteral("ScriptEvent"),
                                  {QStringLiteral("Персона распознана"), QStringLiteral("Персона не распознана")}, 0,
                                  [this](int index) {
                                      rules_.SelectEvent(index == int(AlertEvent::Unrecognized)
                                                             ? AlertEvent::Unrecognized
                                                             : AlertEvent::Recognized);
                                      ShowScript();
                                  }),
                        1);
    layout->addLayout(eventRow);

    timeoutOn_ = AddCheck(tab, QStringLiteral("TimeoutEnabled"), QStringLiteral("Задать таймаут выполнения скриптов"));
    layout->addWidget(timeoutOn_);
    secondsBox_ = new QWidget(tab);
    auto* secondsRow = new QHBoxLayout(secondsBox_);
    secondsRow->setContentsMargins(0, 0, 0, 0);
    seconds_ = AddNumber(secondsBox_, QStringLiteral("Timeout"), FormatsPageRules::kSecondsDigits, {},
                         [this](const QString& typed) { return rules_.SetTimeoutSeconds(typed); });
    secondsRow->addWidget(seconds_);
    secondsRow->addWidget(new QLabel(QStringLiteral("сек."), secondsBox_));
    secondsRow->addStretch(1);
    layout->addWidget(secondsBox_);
    allowUi_ = AddCheck(tab, QStringLiteral("AllowUI"), QStringLiteral("Разрешить пользовательский интерфейс"));
    layout->addWidget(allowUi_);

    imageFormat_ = new QButtonGroup(tab);
    const QStringList formats{QStringLiteral("JPEG (*.jpg)"), QStringLiteral("Portable Network Graphics (*.png)"),
                              QStringLiteral("Windows Bitmap (*.bmp)")};
    for (int index = 0; index < formats.size(); ++index) {
        auto* radio = new QRadioButton(formats[index], tab);
        radio->setObjectName(QStringLiteral("ImgFileFormat%1").arg(index));
        imageFormat_->addButton(radio, index);
        layout->addWidget(radio);
    }
    layout->addStretch(1);

    connect(timeoutOn_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.SetTimeoutEnabled(on);
        ShowScript();
    });
    connect(allowUi_, &QCheckBox::toggled, this, [this](bool on) { rules_.SetAllowUi(on); });
    connect(imageFormat_, &QButtonGroup::idToggled, this, [this](int index, bool on) {
        if (on) rules_.SetImageFormat(index);
    });
    return tab;
}

void FormatsPage::ShowLogPath() { path_->setText(rules_.LogFilePath()); }

void FormatsPage::ShowScript() {
    const QSignalBlocker quietTimeout(timeoutOn_);
    const QSignalBlocker quietUi(allowUi_);
    const QSignalBlocker quietFormat(imageFormat_);
    const settings::ScriptFormat& script = std::as_const(rules_).Script();
    timeoutOn_->setChecked(rules_.SecondsShown());
    seconds_->setText(rules_.SecondsText());
    secondsBox_->setVisible(rules_.SecondsShown());
    allowUi_->setChecked(script.AllowUI != 0);
    if (QAbstractButton* chosen = imageFormat_->button(script.ImgFileFormat)) {
        chosen->setChecked(true);
    } else if (QAbstractButton* shown = imageFormat_->checkedButton()) {
        // A stored format the page does not know shows no choice rather than a wrong one.
        imageFormat_->setExclusive(false);
        shown->setChecked(false);
        imageFormat_->setExclusive(true);
    }
}

void FormatsPage::OpenLog() {
    const QString file = rules_.LogFilePath();
    if (!QFileInfo(file).isFile()) {
        services_.notice(this, {NoticeKind::Error, QStringLiteral("Файл не существует!"), 3s});
        return;
    }
    services_.openFile(file);
}

void FormatsPage::ChooseOtherFolder() {
    QString start = rules_.BrowseStart();
    // A refused choice gets its reason and the browser again, starting where it was.
    while (const std::optional<QString> chosen =
               services_.chooseFolder(this, QStringLiteral("Выберите локальную или сетевую папку"), start)) {
        if (rules_.ChooseFolder(*chosen) != FolderChoice::Refused) break;
        services_.notice(this, {NoticeKind::Error, QString::fromUtf16(kFolderRefusedText)});
        start = *chosen;
    }
    ShowLogPath();
}

}  // namespace ui
