#include "app/camera/stream_address.h"

#include "platform/fixedtext.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <memory>

namespace camera {

namespace {

constexpr int kMaxListUrlChars = 511;

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// Splits the URL; null when it cannot be split. Schemes curl does not speak (rtsp, rtmp in
// some builds) are still accepted.
UrlHandle SplitUrl(const QString& url) {
    UrlHandle handle(curl_url());
    if (!handle || url.isEmpty()) {
        return nullptr;
    }
    const QByteArray utf8 = url.toUtf8();
    if (curl_url_set(handle.get(), CURLUPART_URL, utf8.constData(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return nullptr;
    }
    return handle;
}

// A decoded part, or empty when the URL has none.
QString Part(CURLU* url, CURLUPart part, unsigned flags = CURLU_URLDECODE) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return {};
    }
    QString result = QString::fromUtf8(text);
    curl_free(text);
    return result;
}

uint32_t LookUpIpv4(const QString& host) {
    if (host.isEmpty()) {
        return 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &answer) != 0) {
        return 0;
    }
    uint32_t address = 0;
    for (const addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET) {
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    freeaddrinfo(answer);
    return address;
}

int SchemeNumber(const QString& scheme) {
    const QString lower = scheme.toLower();
    if (lower == "http") return kSchemeHttp;
    if (lower == "https") return kSchemeHttps;
    if (lower == "ftp") return kSchemeFtp;
    if (lower == "file") return kSchemeFile;
    return kSchemeUnknown;
}

uint16_t DefaultPort(const QString& scheme) {
    const QString lower = scheme.toLower();
    if (lower == "http") return 80;
    if (lower == "https") return 443;
    if (lower == "rtsp") return 554;
    if (lower == "rtmp") return 1935;
    return 0;
}

}  // namespace

bool SplitStreamUrl(const QString& url, StreamUrlParts* parts) {
    *parts = StreamUrlParts{};
    const UrlHandle handle = SplitUrl(url);
    if (!handle) {
        return false;
    }
    parts->scheme = Part(handle.get(), CURLUPART_SCHEME);
    parts->host = Part(handle.get(), CURLUPART_HOST);
    bool written = false;
    const int port = Part(handle.get(), CURLUPART_PORT, 0).toInt(&written);
    parts->port = written && port > 0 && port <= 65535 ? uint16_t(port) : DefaultPort(parts->scheme);
    return true;
}

bool ResolveStreamAddress(const QString& url, StreamAddress* result) {
    *result = StreamAddress{};
    StreamUrlParts parts;
    if (!SplitStreamUrl(url, &parts)) {
        return false;
    }
    result->scheme = SchemeNumber(parts.scheme);
    platform::CopyToFixed(result->schemeText, parts.scheme);
    result->address = LookUpIpv4(parts.host);
    result->port = parts.port;
    return true;
}

QString DottedAddress(uint32_t address) {
    in_addr in{};
    in.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &in, text, sizeof text);
    return QString::fromLatin1(text);
}

QString MaskedUrl(const QString& url) {
    if (url.size() > kMaxListUrlChars) {
        return {};
    }
    const UrlHandle parts = SplitUrl(url);
    if (!parts) {
        return {};
    }
    const QString user = Part(parts.get(), CURLUPART_USER);
    const QString password = Part(parts.get(), CURLUPART_PASSWORD);
    if (!user.isEmpty() &&
        curl_url_set(parts.get(), CURLUPART_USER, QByteArray(user.size(), 'X').constData(), 0) != CURLUE_OK) {
        return {};
    }
    if (!password.isEmpty() &&
        curl_url_set(parts.get(), CURLUPART_PASSWORD, QByteArray(password.size(), 'Y').constData(), 0) != CURLUE_OK) {
        return {};
    }
    const QString rebuilt = Part(parts.get(), CURLUPART_URL, 0);
    return rebuilt.size() <= kMaxListUrlChars ? rebuilt : QString();
}

}  // namespace camera
