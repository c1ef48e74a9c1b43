#include "app/ui/station_dialog.h"

#include "app/ui/management_page_rules.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

StationDialog::StationDialog(const QString& entry, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("StationDialog"));
    setWindowTitle(QStringLiteral("Станция сети"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Имя или IP-адрес станции:"), this));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("station"));
    edit_->setMaxLength(kStationEntryChars);
    edit_->setText(entry);
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    ok_->setEnabled(StationEntryAcceptable(entry));
    QObject::connect(edit_, &QLineEdit::textChanged, this,
                     [this](const QString& text) { ok_->setEnabled(StationEntryAcceptable(text)); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (StationEntryAcceptable(edit_->text())) accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString StationDialog::Entry() const { return StationEntryText(edit_->text()); }

std::optional<QString> StationDialog::Ask(const QString& entry, QWidget* parent) {
    StationDialog dialog(entry, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Entry();
}

}  // namespace ui
