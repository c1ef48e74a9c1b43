#include "app/ui/mail_page_rules.h"

#include "app/ui/sheet_fields.h"

namespace ui {

namespace {

constexpr qlonglong kPortLimit = 65536;

}  // namespace

QString MailPageRules::SetServer(const QString& typed) { return StoreText(smtp_.SMTPServer, typed, Blanks::Trimmed); }

std::optional<QString> MailPageRules::SetPort(const QString& typed) {
    bool valid = false;
    const qlonglong value = typed.toLongLong(&valid);
    // Too many digits to read count as too large as well.
    if (!typed.isEmpty() && (!valid || value >= kPortLimit)) {
        smtp_.SMTPServerPort = 0;
        return QString();
    }
    smtp_.SMTPServerPort = valid ? uint32_t(value) : 0;
    return std::nullopt;
}

void MailPageRules::SetUseSsl(bool on) { smtp_.SMTPUseSSL = on ? 1 : 0; }

QString MailPageRules::SetOriginator(const QString& typed) {
    return StoreText(smtp_.Originator, typed, Blanks::Trimmed);
}

void MailPageRules::SetAuthRequired(bool on) { smtp_.SMTPAuthRequired = on ? 1 : 0; }

QString MailPageRules::SetUserName(const QString& typed) {
    return StoreText(smtp_.SendUserName, typed, Blanks::Trimmed);
}

QString MailPageRules::SetPassword(const QString& typed) { return StoreText(smtp_.SendPassword, typed, Blanks::Kept); }

QString MailPageRules::SetRecipients(const QString& typed) {
    return StoreText(smtp_.Recepients, typed, Blanks::Trimmed);
}

QString MailPageRules::PortText() const {
    return smtp_.SMTPServerPort == 0 ? QString() : QString::number(smtp_.SMTPServerPort);
}

bool MailPageRules::TestEnabled() const {
    const auto filled = [](const auto& field) { return field[0] != u'\0'; };
    if (!filled(smtp_.SMTPServer) || !filled(smtp_.Originator)) return false;
    return !AuthFieldsEnabled() || (filled(smtp_.SendUserName) && filled(smtp_.SendPassword));
}

QString TestRecipientsText(const QString& typed) {
    QString text = typed.trimmed();
    text.truncate(MaxChars(settings::SmtpSettings{}.Recepients));
    return text;
}

bool TestRecipientsAccepted(const QString& shown) { return !shown.trimmed().isEmpty(); }

TestMailReport ReportTestMail(bool sent, const QString& error) {
    if (sent) return {false, QStringLiteral("Тестовое письмо отправлено!")};
    // A failure never reads as success, even when the sender gave no reason.
    return {true, error.isEmpty() ? QStringLiteral("Ошибка отправки электронной почты") : error};
}

}  // namespace ui
