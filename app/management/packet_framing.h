#pragma once
// Purpose: the framing of the management packets on a TCP session: an 8-byte little-endian header
//          (type, data length) followed by the data, which the server writes as UTF-16LE text with
//          its terminating NUL.
// Threads: any thread.
// Owns: nothing.

#include "app/management/session_link.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace management {

constexpr size_t kPacketHeaderSize = 8;
// The receive buffer holds one whole packet of the largest accepted size.
constexpr size_t kReceiveBufferSize = 65536;
constexpr uint32_t kMaxIncomingDataLength = kReceiveBufferSize - kPacketHeaderSize;  // 65 528

struct PacketHeader {
    uint32_t type = 0;
    uint32_t dataLength = 0;
};

// Reads the header at the start of `bytes` (at least kPacketHeaderSize of them).
PacketHeader ReadPacketHeader(const std::byte* bytes);

// Header, the text as UTF-16LE and a NUL; the length field counts text and NUL (2 x characters + 2).
// Throws std::bad_alloc when there is no memory for it.
QByteArray BuildPacket(PacketType type, const QString& text);

}  // namespace management
