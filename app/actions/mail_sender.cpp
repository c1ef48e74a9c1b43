#include "app/actions/mail_sender.h"

#include "app/actions/mail_addresses.h"
#include "platform/fixedtext.h"
#include "platform/hostinfo.h"
#include "platform/sync.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDateTime>
#include <QFileInfo>

#include <memory>
#include <mutex>

namespace actions {

namespace {

constexpr uint32_t kImplicitTlsPort = 465;
constexpr uint32_t kPlainPort = 25;
// Where Debian's ca-certificates keeps the system store as hashed files; it stays trusted when a
// CA file of its own is named.
constexpr char kSystemCaPath[] = "/etc/ssl/certs";

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using MimeHandle = std::unique_ptr<curl_mime, CurlDeleter>;
using ListHandle = std::unique_ptr<curl_slist, CurlDeleter>;

class CurlList {
public:
    // False when the system is out of memory.
    bool Append(const QByteArray& line) {
        curl_slist* grown = curl_slist_append(list_.get(), line.constData());
        if (!grown) return false;
        list_.release();
        list_.reset(grown);
        return true;
    }
    curl_slist* get() const { return list_.get(); }

private:
    ListHandle list_;
};

bool InitialiseCurl() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

// The sockets of one transfer and the event that ends it. Every callback runs on the thread of
// curl_easy_perform, so no lock is needed.
struct Transfer {
    platform::Event* abort = nullptr;
    std::vector<curl_socket_t> sockets;
};

curl_socket_t OpenSocket(void* transfer, curlsocktype, curl_sockaddr* address) {
    const curl_socket_t fd = socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd != CURL_SOCKET_BAD) static_cast<Transfer*>(transfer)->sockets.push_back(fd);
    return fd;
}

int CloseSocket(void* transfer, curl_socket_t fd) {
    std::erase(static_cast<Transfer*>(transfer)->sockets, fd);
    return close(fd);
}

// An ending program stops the transfer. The sockets are shut down too: libcurl would otherwise
// say QUIT and wait for a busy server's answer before it gives up the connection.
int AbortWhenSignalled(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(data);
    if (!transfer->abort || !transfer->abort->Wait(0)) return 0;
    for (curl_socket_t fd : transfer->sockets) shutdown(fd, SHUT_RDWR);
    return 1;
}

struct Envelope {
    MailAddress sender;
    std::vector<MailAddress> recipients;
};

std::optional<Envelope> ReadEnvelope(const settings::SmtpSettings& smtp, const QString& recipients, QString& error) {
    Envelope envelope;
    const QString originator = platform::FromFixed(smtp.Originator);
    std::optional<MailAddress> sender = ParseMailAddress(originator);
    if (!sender) {
        error = QStringLiteral("Неверный адрес отправителя: %1").arg(originator);
        return std::nullopt;
    }
    envelope.sender = *sender;
    for (const QString& entry : SplitRecipients(recipients)) {
        std::optional<MailAddress> recipient = ParseMailAddress(entry);
        if (!recipient) {
            error = QStringLiteral("Неверный адрес получателя: %1").arg(entry);
            return std::nullopt;
        }
        envelope.recipients.push_back(*recipient);
    }
    if (envelope.recipients.empty()) {
        error = QStringLiteral("Не указаны адреса получателей");
        return std::nullopt;
    }
    return envelope;
}

bool BuildHeaders(const Envelope& envelope, const MailContent& content, CurlList& headers) {
    QByteArrayList to;
    for (const MailAddress& recipient : envelope.recipients) to.append(FormatAddressHeader(recipient));
    const QByteArray domain = envelope.sender.address.section(u'@', -1).toUtf8();
    QByteArray messageId = platform::NewGuidText().toLatin1();
    messageId = messageId.mid(1, messageId.size() - 2);
    return headers.Append("Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1()) &&
           headers.Append("From: " + FormatAddressHeader(envelope.sender)) &&
           headers.Append("To: " + to.join(",\r\n ")) &&
           headers.Append("Subject: " + EncodeHeaderText(content.subject)) &&
           headers.Append("Message-ID: <" + messageId + "@" + domain + ">");
}

// Attachments are the program's own pictures; anything else goes as plain bytes. (Qt's MIME
// database would tie a thread's data to its global state on the first worker that asks.)
const char* AttachmentType(const QFileInfo& file) {
    const QString suffix = file.suffix().toLower();
    if (suffix == u"jpg" || suffix == u"jpeg") return "image/jpeg";
    if (suffix == u"png") return "image/png";
    if (suffix == u"bmp") return "image/bmp";
    return "application/octet-stream";
}

// The body part and one part per attachment; the error names what could not be added.
bool BuildParts(const MailContent& content, curl_mime* mime, QString& error) {
    curl_mimepart* body = curl_mime_addpart(mime);
    const QByteArray text = content.body.toUtf8();
    const char* type =
        content.bodyKind == MailBodyKind::Html ? "text/html; charset=utf-8" : "text/plain; charset=utf-8";
    if (!body || curl_mime_data(body, text.constData(), size_t(text.size())) != CURLE_OK ||
        curl_mime_type(body, type) != CURLE_OK || curl_mime_encoder(body, "quoted-printable") != CURLE_OK) {
        error = QStringLiteral("Недостаточно памяти в системе");
        return false;
    }
    for (const QString& path : content.attachments) {
        if (path.isEmpty()) continue;
        curl_mimepart* part = curl_mime_addpart(mime);
        const QFileInfo file(path);
        if (!part || curl_mime_filedata(part, QFile::encodeName(path).constData()) != CURLE_OK ||
            curl_mime_filename(part, file.fileName().toUtf8().constData()) != CURLE_OK ||
            curl_mime_type(part, AttachmentType(file)) != CURLE_OK || curl_mime_encoder(part, "base64") != CURLE_OK) {
            error = QStringLiteral("Не удалось прочитать вложение: %1").arg(path);
            return false;
        }
    }
    return true;
}

}  // namespace

uint32_t EffectiveSmtpPort(const settings::SmtpSettings& smtp) {
    if (smtp.SMTPServerPort != 0) return smtp.SMTPServerPort;
    return smtp.SMTPUseSSL ? kImplicitTlsPort : kPlainPort;
}

QString SmtpUrl(const settings::SmtpSettings& smtp) {
    const uint32_t port = EffectiveSmtpPort(smtp);
    QString host = platform::FromFixed(smtp.SMTPServer).trimmed();
    if (host.contains(u':') && !host.startsWith(u'[')) host = u'[' + host + u']';
    const bool implicitTls = smtp.SMTPUseSSL && port == kImplicitTlsPort;
    return QStringLiteral("%1://%2:%3").arg(implicitTls ? u"smtps" : u"smtp", host).arg(port);
}

MailOutcome SendSmtpMail(const settings::SmtpSettings& smtp, const MailContent& content, platform::Event* abort,
                         const MailTransport& transport) {
    MailOutcome outcome;
    if (platform::FromFixed(smtp.SMTPServer).trimmed().isEmpty()) {
        outcome.error = QStringLiteral("Не указан SMTP сервер");
        return outcome;
    }
    const std::optional<Envelope> envelope = ReadEnvelope(smtp, content.recipients, outcome.error);
    if (!envelope) return outcome;
    // Everything the handle points to outlives it: its clean-up still says QUIT, may write an error
    // text and closes its sockets.
    Transfer transfer{abort, {}};
    char errorText[CURL_ERROR_SIZE] = {};
    CurlList recipients;
    CurlList headers;
    CurlList connectTo;
    CurlHandle curl(InitialiseCurl() ? curl_easy_init() : nullptr);
    MimeHandle mime(curl ? curl_mime_init(curl.get()) : nullptr);
    bool listed = true;
    for (const QString& entry : transport.connectTo) listed = listed && connectTo.Append(entry.toUtf8());
    for (const MailAddress& recipient : envelope->recipients)
        listed = listed && recipients.Append("<" + recipient.address.toUtf8() + ">");
    if (!curl || !mime || !listed || !BuildHeaders(*envelope, content, headers)) {
        outcome.error = QStringLiteral("Недостаточно памяти в системе");
        return outcome;
    }
    if (!BuildParts(content, mime.get(), outcome.error)) return outcome;

    CURL* c = curl.get();
    const QByteArray url = SmtpUrl(smtp).toUtf8();
    const QByteArray from = "<" + envelope->sender.address.toUtf8() + ">";
    const QByteArray user = platform::FromFixed(smtp.SendUserName).toUtf8();
    const QByteArray password = platform::FromFixed(smtp.SendPassword).toUtf8();
    const QByteArray caFile = qgetenv(kMailCaFileVariable);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(c, CURLOPT_CONNECT_TO, connectTo.get());
    if (smtp.SMTPUseSSL) curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_CAINFO, caFile.constData());
        curl_easy_setopt(c, CURLOPT_CAPATH, kSystemCaPath);
    }
    if (smtp.SMTPAuthRequired) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    const long stallSeconds = long(std::chrono::ceil<std::chrono::seconds>(transport.stall).count());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(transport.connect.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(transport.whole.count()));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, stallSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &AbortWhenSignalled);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &OpenSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &CloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    const CURLcode result = curl_easy_perform(c);
    if (result == CURLE_OK) {
        outcome.sent = true;
    } else {
        outcome.error = errorText[0] ? QString::fromUtf8(errorText) : QString::fromUtf8(curl_easy_strerror(result));
    }
    return outcome;
}

}  // namespace actions
