#pragma once
// Purpose: the rules of the settings page "Почта": trimmed fields, the port that is shown empty
//          when 0 and dropped from 65536 on, the authentication fields that follow their check box,
//          when the test mail may be sent, and the recipients dialog of that test.
// Threads: the user-interface thread (it edits the sheet's copy).
// Owns: nothing; the record belongs to the sheet's copy.

#include "settings/groups.h"

#include <QString>

#include <optional>

namespace ui {

class MailPageRules {
public:
    explicit MailPageRules(settings::SmtpSettings& smtp) : smtp_(smtp) {}

    // Each returns the text the field must show when it differs from what was typed.
    QString SetServer(const QString& typed);
    std::optional<QString> SetPort(const QString& typed);
    void SetUseSsl(bool on);
    QString SetOriginator(const QString& typed);
    void SetAuthRequired(bool on);
    QString SetUserName(const QString& typed);
    QString SetPassword(const QString& typed);
    QString SetRecipients(const QString& typed);

    QString PortText() const;
    bool AuthFieldsEnabled() const { return smtp_.SMTPAuthRequired != 0; }
    // "Проверка отправки почты...": a server and a sender, and with authentication an account and
    // a password.
    bool TestEnabled() const;

    const settings::SmtpSettings& Smtp() const { return smtp_; }

private:
    settings::SmtpSettings& smtp_;
};

// The digits the port field takes.
inline constexpr int kPortDigits = 5;

// The recipients field of "Проверка отправки почты": trimmed as typed, OK only when not empty.
QString TestRecipientsText(const QString& typed);
bool TestRecipientsAccepted(const QString& shown);

// The test mail's outcome as the page reports it.
struct TestMailReport {
    bool failed = false;
    QString text;
};
TestMailReport ReportTestMail(bool sent, const QString& error);

}  // namespace ui
