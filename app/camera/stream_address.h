#pragma once
// An IP camera's URL taken apart: the scheme, the host's IPv4 address and the TCP port, which
// the hang-up detection needs to find the camera's connection. libcurl's URL parser does the
// splitting and rebuilding.

#include <QString>
#include <cstdint>

namespace camera {

// Scheme numbers, as the URL parser of the original platform counted them.
constexpr int kSchemeUnknown = -1;
constexpr int kSchemeFtp = 1;
constexpr int kSchemeHttp = 3;
constexpr int kSchemeHttps = 4;
constexpr int kSchemeFile = 5;

struct StreamAddress {
    int32_t scheme = kSchemeUnknown;
    char16_t schemeText[32] = {};
    uint32_t address = 0;  // IPv4, network byte order; 0 when unknown
    uint16_t port = 0;     // host order; 0 when unknown
};

// The parts of a URL that give the address, decoded; false when the URL cannot be split.
struct StreamUrlParts {
    QString scheme;
    QString host;
    uint16_t port = 0;  // the written port, else the scheme's default, else 0
};
bool SplitStreamUrl(const QString& url, StreamUrlParts* parts);

// Fills the address from the URL: the written port, or the scheme's default (http 80, https 443,
// rtsp 554, rtmp 1935, none for other schemes). Parts that cannot be found stay 0; the result
// says whether the URL could be split.
bool ResolveStreamAddress(const QString& url, StreamAddress* result);

// 0 and 255.255.255.255 mean the address could not be determined.
inline bool AddressKnown(uint32_t address) { return address != 0 && address != 0xFFFFFFFFu; }

// Dotted text of an address in network byte order.
QString DottedAddress(uint32_t address);

// The URL with each character of the user name replaced by 'X' and of the password by 'Y',
// rebuilt; empty when the URL is longer than 511 characters or cannot be split.
QString MaskedUrl(const QString& url);

}  // namespace camera
