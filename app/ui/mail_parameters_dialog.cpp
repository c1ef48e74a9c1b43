#include "app/ui/mail_parameters_dialog.h"

#include "app/ui/insertion_popup.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace ui {

MailParametersDialog::MailParametersDialog(actions::TemplateFamily family, const MailParameters& parameters,
                                           QWidget* parent)
    : QDialog(parent), rules_(family, parameters) {
    setObjectName(QStringLiteral("MailParametersDialog"));
    setWindowTitle(QStringLiteral("Параметры отправляемого письма"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Адреса получателей, разделенные запятой:"), this));
    recipients_ = new QLineEdit(this);
    recipients_->setObjectName(QStringLiteral("Recepients"));
    recipients_->setMaxLength(MailParametersRules::kRecipientsMax);
    layout->addWidget(recipients_);
    layout->addWidget(new QLabel(QStringLiteral("Тема:"), this));
    subject_ = new QLineEdit(this);
    subject_->setObjectName(QStringLiteral("SubjectFormat"));
    subject_->setMaxLength(MailParametersRules::kSubjectMax);
    AttachInsertionPopup(subject_, actions::InsertionListOf(family));
    layout->addWidget(subject_);
    body_ = new QPlainTextEdit(this);
    body_->setObjectName(QStringLiteral("BodyFormat"));
    AttachInsertionPopup(body_, actions::InsertionListOf(family), MailParametersRules::kBodyMax);
    layout->addWidget(body_);
    auto* standard = new QPushButton(QStringLiteral("Задать стандартные значения"), this);
    standard->setObjectName(QStringLiteral("Standard"));
    layout->addWidget(standard);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(recipients_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        const QString kept = rules_.SetRecipients(typed);
        if (kept != typed) recipients_->setText(kept);
    });
    connect(subject_, &QLineEdit::textChanged, this, [this](const QString& typed) {
        rules_.SetSubject(typed);
        ok_->setEnabled(rules_.OkEnabled());
    });
    connect(body_, &QPlainTextEdit::textChanged, this, [this] {
        // A text too long for the record gives way to the last one that fitted.
        if (!rules_.SetBody(body_->toPlainText())) {
            const QSignalBlocker quiet(body_);
            body_->setPlainText(rules_.BodyShown());
            body_->moveCursor(QTextCursor::End);
        }
        ok_->setEnabled(rules_.OkEnabled());
    });
    connect(standard, &QPushButton::clicked, this, [this] {
        rules_.SetStandard();
        ShowParameters();
    });
    ShowParameters();
}

void MailParametersDialog::ShowParameters() {
    const QSignalBlocker quietSubject(subject_);
    const QSignalBlocker quietBody(body_);
    recipients_->setText(rules_.Parameters().recipients);
    subject_->setText(rules_.Parameters().subject);
    body_->setPlainText(rules_.BodyShown());
    ok_->setEnabled(rules_.OkEnabled());
}

std::optional<MailParameters> EditMailParameters(QWidget* owner, actions::TemplateFamily family,
                                                 const MailParameters& parameters) {
    MailParametersDialog dialog(family, parameters, owner);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Parameters();
}

}  // namespace ui
