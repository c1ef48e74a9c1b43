#pragma once
// Purpose: sends one mail over SMTP with libcurl: the server, port and connection security of the
//          SMTP settings, authentication only when asked for, a UTF-8 text or HTML body and JPEG
//          attachments as MIME parts. Certificates are always verified (the system store, plus the
//          file named by OSTROVID_MAIL_CA_FILE when set).
// Threads: any; each call uses its own connection. Blocks until the server has answered, the
//          connection or transfer time-out has passed, or `abort` is signalled.
// Owns: nothing beyond the call.

#include "settings/groups.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>

namespace platform {
class Event;
}

namespace actions {

enum class MailBodyKind { PlainText, Html };

struct MailContent {
    QString recipients;  // as typed: commas or semicolons between entries
    QString subject;
    QString body;
    MailBodyKind bodyKind = MailBodyKind::PlainText;
    QStringList attachments;  // files; empty entries are passed over
};

struct MailOutcome {
    bool sent = false;
    QString error;  // why it was not sent; empty when sent
};

// How the connection is made.
struct MailTransport {
    std::chrono::milliseconds connect{std::chrono::seconds(30)};
    // A server that sends nothing for this long while the mail is under way is given up.
    std::chrono::milliseconds stall{std::chrono::seconds(60)};
    std::chrono::milliseconds whole{std::chrono::minutes(10)};
    // "HOST:PORT:CONNECT-HOST:CONNECT-PORT" entries that reach a server somewhere other than its
    // name and port say (a tunnel, a test server), while its certificate is still checked for the name.
    QStringList connectTo;
};

// The port used: the configured one, else 465 with SSL, else 25.
uint32_t EffectiveSmtpPort(const settings::SmtpSettings& smtp);

// "smtps://server:465" on port 465 with SSL, else "smtp://server:port" (STARTTLS required with SSL).
QString SmtpUrl(const settings::SmtpSettings& smtp);

// The variable that names an extra trusted CA file.
inline constexpr char kMailCaFileVariable[] = "OSTROVID_MAIL_CA_FILE";

MailOutcome SendSmtpMail(const settings::SmtpSettings& smtp, const MailContent& content, platform::Event* abort,
                         const MailTransport& transport = {});

}  // namespace actions
