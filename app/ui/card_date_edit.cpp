#include "app/ui/card_date_edit.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

namespace ui {

CardDateEdit::CardDateEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    hasDate_ = new QCheckBox(this);
    hasDate_->setObjectName(QStringLiteral("hasDate"));
    date_ = new QDateEdit(QDate::currentDate(), this);
    date_->setObjectName(QStringLiteral("date"));
    date_->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    date_->setMinimumDate(QDate(1900, 1, 1));
    date_->setCalendarPopup(true);
    layout->addWidget(hasDate_);
    layout->addWidget(date_, 1);
    ShowState();
    const auto changed = [this] {
        ShowState();
        if (!setting_ && onChanged) onChanged(Date());
    };
    connect(hasDate_, &QCheckBox::toggled, this, changed);
    connect(date_, &QDateEdit::dateChanged, this, changed);
}

void CardDateEdit::SetDate(std::optional<QDate> date) {
    setting_ = true;
    if (date) date_->setDate(*date);
    hasDate_->setChecked(date.has_value());
    setting_ = false;
    ShowState();
}

std::optional<QDate> CardDateEdit::Date() const {
    if (!hasDate_->isChecked()) return std::nullopt;
    return date_->date();
}

void CardDateEdit::ShowState() { date_->setEnabled(hasDate_->isChecked()); }

}  // namespace ui
