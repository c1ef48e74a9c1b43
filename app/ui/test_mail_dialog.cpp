#include "app/ui/test_mail_dialog.h"

#include "app/ui/mail_page_rules.h"
#include "app/ui/sheet_fields.h"
#include "settings/groups.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

TestMailDialog::TestMailDialog(const QString& recipients, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TestMailDialog"));
    setWindowTitle(QStringLiteral("Проверка отправки почты"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Выполнить отправку тестового письма на адреса получаетелей:"), this));
    recipients_ = new QLineEdit(this);
    recipients_->setObjectName(QStringLiteral("Recepients"));
    recipients_->setMaxLength(MaxChars(settings::SmtpSettings{}.Recepients));
    layout->addWidget(recipients_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(recipients_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        const QString shown = TestRecipientsText(typed);
        if (shown != typed) recipients_->setText(shown);
        ok_->setEnabled(TestRecipientsAccepted(shown));
    });
    recipients_->setText(TestRecipientsText(recipients));
    ok_->setEnabled(TestRecipientsAccepted(recipients_->text()));
}

QString TestMailDialog::Recipients() const { return recipients_->text(); }

std::optional<QString> AskTestRecipients(QWidget* owner, const QString& recipients) {
    TestMailDialog dialog(recipients, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Recipients();
}

}  // namespace ui
