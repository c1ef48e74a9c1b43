#include "app/ui/card_metrics_page.h"

#include "app/ui/card_date_edit.h"
#include "app/ui/card_marker_icon.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace ui {

namespace {

using browser::CardEditor;
using browser::CardField;
using database::Gender;

size_t Index(CardField field) { return static_cast<size_t>(field); }

}  // namespace

CardMetricsPage::CardMetricsPage(CardEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    auto* layout = new QVBoxLayout(this);
    grid_ = new QGridLayout;
    grid_->setColumnStretch(1, 1);
    layout->addLayout(grid_);

    AddLineEdit(CardField::Surname, QStringLiteral("Фамилия:"), QStringLiteral("surname"));
    AddLineEdit(CardField::Forename, QStringLiteral("Имя:"), QStringLiteral("forename"));
    AddLineEdit(CardField::SecondName, QStringLiteral("Отчество:"), QStringLiteral("secondName"));
    AddLineEdit(CardField::Alias, QStringLiteral("Псевдоним:"), QStringLiteral("alias"));
    AddLineEdit(CardField::ExternalKey, QStringLiteral("Внешний ключ:"), QStringLiteral("externalKey"));

    auto* genderRow = new QWidget(this);
    genderRow->setObjectName(QStringLiteral("gender"));
    auto* genderLayout = new QHBoxLayout(genderRow);
    genderLayout->setContentsMargins(0, 0, 0, 0);
    male_ = new QRadioButton(database::GenderName(Gender::Male), genderRow);
    female_ = new QRadioButton(database::GenderName(Gender::Female), genderRow);
    auto* genders = new QButtonGroup(genderRow);
    for (QRadioButton* button : {male_, female_}) {
        genders->addButton(button);
        genderLayout->addWidget(button);
        connect(button, &QRadioButton::toggled, this, [this, button](bool on) {
            if (!on || filling_) return;
            editor_.SetGender(button == female_ ? Gender::Female : Gender::Male);
            Edited();
        });
    }
    genderLayout->addStretch();
    AddRow(CardField::Gender, QStringLiteral("Пол:"), genderRow, genderRow->objectName());

    dateOfBirth_ = new CardDateEdit(this);
    dateOfBirth_->setObjectName(QStringLiteral("dateOfBirth"));
    dateOfBirth_->onChanged = [this](std::optional<QDate> date) {
        if (filling_) return;
        editor_.SetDateOfBirth(date);
        Edited();
    };
    AddRow(CardField::DateOfBirth, QStringLiteral("Дата рождения:"), dateOfBirth_, dateOfBirth_->objectName());

    AddLineEdit(CardField::Address, QStringLiteral("Адрес:"), QStringLiteral("address"));
    AddLineEdit(CardField::Contacts, QStringLiteral("Контакты:"), QStringLiteral("contacts"));

    description_ = new QPlainTextEdit(this);
    description_->setObjectName(QStringLiteral("description"));
    description_->setTabChangesFocus(true);
    description_->setMaximumHeight(description_->fontMetrics().lineSpacing() * 5);
    connect(description_, &QPlainTextEdit::textChanged, this, [this] {
        if (filling_) return;
        // A plain text edit has no input limit of its own: what goes past the field is dropped.
        const int limit = CardEditor::InputLimit(CardField::Description);
        const QString text = description_->toPlainText();
        if (text.size() > limit) {
            description_->setPlainText(text.left(limit));
            description_->moveCursor(QTextCursor::End);
            return;  // setPlainText comes back here with the kept text
        }
        editor_.SetText(CardField::Description, text);
        Edited();
    });
    AddRow(CardField::Description, QStringLiteral("Описание:"), description_, description_->objectName());

    auto* speechRow = new QWidget(this);
    auto* speechLayout = new QHBoxLayout(speechRow);
    speechLayout->setContentsMargins(0, 0, 0, 0);
    speech_ = LineEdit(CardField::Speech, QStringLiteral("speech"), speechRow);
    testSpeech_ = new QPushButton(QStringLiteral(" Тест"), speechRow);
    testSpeech_->setObjectName(QStringLiteral("testSpeech"));
    connect(testSpeech_, &QPushButton::clicked, this, [this] {
        if (onTestSpeech) onTestSpeech();
    });
    speechLayout->addWidget(speech_, 1);
    speechLayout->addWidget(testSpeech_);
    AddRow(CardField::Speech, QStringLiteral("Спич:"), speechRow, QStringLiteral("speech"));

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    layout->addWidget(separator);
    layout->addWidget(new QLabel(QStringLiteral("Фото персоны:"), this));
    photoSlot_ = new QVBoxLayout;
    photoSlot_->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(photoSlot_, 1);

    Fill();
}

void CardMetricsPage::AddRow(CardField field, const QString& label, QWidget* edit, const QString& name) {
    const int row = grid_->rowCount();
    auto* caption = new QLabel(label, this);
    caption->setBuddy(edit);
    grid_->addWidget(caption, row, 0, field == CardField::Description ? Qt::AlignTop : Qt::AlignVCenter);
    grid_->addWidget(edit, row, 1);
    auto* marker = new QLabel(this);
    marker->setObjectName(name + QStringLiteral("Marker"));
    marker->setPixmap(CardMarkerIcon().pixmap(kCardMarkerSize, kCardMarkerSize));
    marker->setFixedSize(kCardMarkerSize, kCardMarkerSize);
    // The marker keeps its place while hidden so the fields do not move when it shows.
    QSizePolicy policy = marker->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    marker->setSizePolicy(policy);
    marker->hide();
    grid_->addWidget(marker, row, 2, Qt::AlignTop);
    markers_[Index(field)] = marker;
}

QLineEdit* CardMetricsPage::LineEdit(CardField field, const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(CardEditor::InputLimit(field));
    lines_.emplace_back(field, edit);
    connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
        if (filling_) return;
        editor_.SetText(field, text);
        Edited();
    });
    return edit;
}

void CardMetricsPage::AddLineEdit(CardField field, const QString& label, const QString& name) {
    AddRow(field, label, LineEdit(field, name, this), name);
}

void CardMetricsPage::Edited() {
    Refresh();
    if (onEdited) onEdited();
}

void CardMetricsPage::Fill() {
    filling_ = true;
    for (const auto& [field, edit] : lines_) edit->setText(editor_.Text(field));
    description_->setPlainText(editor_.Text(CardField::Description));
    (editor_.Gender() == Gender::Female ? female_ : male_)->setChecked(true);
    dateOfBirth_->SetDate(editor_.DateOfBirth());
    filling_ = false;
    Refresh();
}

void CardMetricsPage::Refresh() {
    for (CardField field : browser::kCardFields) markers_[Index(field)]->setVisible(editor_.Differs(field));
    testSpeech_->setEnabled(editor_.CanTestSpeech());
}

void CardMetricsPage::SetPhotoPad(QWidget* pad) {
    pad->setParent(this);
    photoSlot_->addWidget(pad);
}

void CardMetricsPage::SetSpeech(const QString& text) { speech_->setText(text); }

}  // namespace ui
