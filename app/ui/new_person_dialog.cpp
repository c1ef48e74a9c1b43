#include "app/ui/new_person_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <functional>
#include <utility>
#include <vector>

namespace ui {

namespace {

using database::Gender;
using database::NewPersonForm;
using database::WatchList;

// A row of radio buttons, each with its value; the one of `checked` starts checked.
template <typename Value>
QWidget* RadioRow(QWidget* parent, const std::vector<std::pair<QString, Value>>& choices, Value checked,
                  std::function<void(Value)> chosen) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* group = new QButtonGroup(row);
    for (const auto& [text, value] : choices) {
        auto* button = new QRadioButton(text, row);
        button->setChecked(value == checked);
        group->addButton(button);
        layout->addWidget(button);
        QObject::connect(button, &QRadioButton::toggled, row, [chosen, value](bool on) {
            if (on) chosen(value);
        });
    }
    layout->addStretch();
    return row;
}

}  // namespace

NewPersonDialog::NewPersonDialog(WatchList initialList, database::OperatorDialogs& dialogs, QWidget* parent)
    : QDialog(parent), form_(initialList), dialogs_(dialogs) {
    setWindowTitle(QStringLiteral("Новая персона"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    fields_ = fields;
    layout->addLayout(fields);

    fields->addRow(QStringLiteral("* Включить в список:"),
                   RadioRow<WatchList>(this,
                                       {{database::WatchListName(WatchList::Green), WatchList::Green},
                                        {database::WatchListName(WatchList::Red), WatchList::Red},
                                        {database::WatchListName(WatchList::Gray), WatchList::Gray}},
                                       initialList, [this](WatchList list) { form_.SetList(list); }));
    AddEdit(QStringLiteral("* Фамилия:"), QStringLiteral("surname"), NewPersonForm::kNameInputLimit,
            &NewPersonForm::SetSurname);
    AddEdit(QStringLiteral("Имя:"), QStringLiteral("forename"), NewPersonForm::kNameInputLimit,
            &NewPersonForm::SetForename);
    AddEdit(QStringLiteral("Отчество:"), QStringLiteral("secondName"), NewPersonForm::kNameInputLimit,
            &NewPersonForm::SetSecondName);
    AddEdit(QStringLiteral("Псевдоним:"), QStringLiteral("alias"), NewPersonForm::kAliasInputLimit,
            &NewPersonForm::SetAlias);
    AddEdit(QStringLiteral("Внешний ключ:"), QStringLiteral("externalKey"), NewPersonForm::kExternalKeyInputLimit,
            &NewPersonForm::SetExternalKey);
    fields->addRow(QStringLiteral("* Пол:"),
                   RadioRow<Gender>(this,
                                    {{database::GenderName(Gender::Male), Gender::Male},
                                     {database::GenderName(Gender::Female), Gender::Female}},
                                    Gender::Male, [this](Gender gender) { form_.SetGender(gender); }));

    // The picker starts without a date; its check box gives one.
    auto* dateRow = new QWidget(this);
    auto* dateLayout = new QHBoxLayout(dateRow);
    dateLayout->setContentsMargins(0, 0, 0, 0);
    auto* hasDate = new QCheckBox(dateRow);
    auto* date = new QDateEdit(QDate::currentDate(), dateRow);
    date->setObjectName(QStringLiteral("dateOfBirth"));
    date->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    date->setMinimumDate(QDate(1900, 1, 1));
    date->setEnabled(false);
    dateLayout->addWidget(hasDate);
    dateLayout->addWidget(date, 1);
    const auto dateChanged = [this, hasDate, date] {
        date->setEnabled(hasDate->isChecked());
        form_.SetDateOfBirth(hasDate->isChecked() ? std::optional<QDate>(date->date()) : std::nullopt);
    };
    connect(hasDate, &QCheckBox::toggled, this, dateChanged);
    connect(date, &QDateEdit::dateChanged, this, dateChanged);
    fields->addRow(QStringLiteral("Дата рождения:"), dateRow);

    layout->addWidget(new QLabel(QStringLiteral("Поля, помеченные символом *, должны быть заполнены"), this));
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    ok_->setEnabled(form_.CanAccept());
    connect(buttons, &QDialogButtonBox::accepted, this, &NewPersonDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &NewPersonDialog::reject);
    layout->addWidget(buttons);
}

void NewPersonDialog::AddEdit(const QString& label, const QString& name, int maxLength,
                              void (NewPersonForm::*set)(const QString&)) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    connect(edit, &QLineEdit::textChanged, this, [this, set](const QString& text) {
        (form_.*set)(text);
        if (ok_ != nullptr) ok_->setEnabled(form_.CanAccept());
    });
    fields_->addRow(label, edit);
}

void NewPersonDialog::accept() {
    if (form_.Accept(dialogs_, QDate::currentDate()) == NewPersonForm::AcceptResult::Accepted) QDialog::accept();
}

}  // namespace ui
