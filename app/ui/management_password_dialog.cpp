#include "app/ui/management_password_dialog.h"

#include "app/ui/management_page_rules.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace ui {

namespace {

QLineEdit* PasswordField(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(kManagementPasswordChars);
    return edit;
}

}  // namespace

ManagementPasswordDialog::ManagementPasswordDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ManagementPasswordDialog"));
    setWindowTitle(QStringLiteral("Пароль"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    first_ = PasswordField(QStringLiteral("password"), this);
    second_ = PasswordField(QStringLiteral("passwordAgain"), this);
    form->addRow(QStringLiteral("Пароль:"), first_);
    form->addRow(QStringLiteral("Введите еще раз:"), second_);
    layout->addLayout(form);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("notice"));
    layout->addWidget(notice_);
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    QObject::connect(noticeTimer_, &QTimer::timeout, notice_, &QLabel::clear);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, this, [this] { TryAccept(); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ManagementPasswordDialog::TryAccept() {
    if (CheckPasswordEntry(first_->text(), second_->text()) == PasswordEntry::Accepted) {
        accept();
        return;
    }
    notice_->setText(kPasswordMismatchText);
    noticeTimer_->start(kMismatchShown);
}

QString ManagementPasswordDialog::Password() const { return first_->text(); }

std::optional<QString> ManagementPasswordDialog::Ask(QWidget* parent) {
    ManagementPasswordDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Password();
}

}  // namespace ui
