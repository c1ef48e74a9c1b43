#pragma once
// Purpose: the framing of the management packets on a TCP session: an 8-byte little-endian header
//          (type, data length) followed by the data, which the server writes as UTF-16LE text with
//          its terminating NUL; and the receive buffer that cuts a client's byte stream into packets.
// Threads: any thread; a PacketReader belongs to one session's receive thread.
// Owns: a PacketReader its 65 536-byte buffer.

#include "app/management/session_link.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

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

enum class ReadVerdict {
    Packet,       // a whole packet of a known type
    NeedMore,     // the next packet is not complete yet
    TooLong,      // a known type announcing more than kMaxIncomingDataLength
    UnknownType,  // refused at its header: its data is never waited for
};

struct ReadResult {
    ReadVerdict verdict;
    PacketHeader header;              // valid unless NeedMore
    std::span<const std::byte> data;  // Packet only; valid until the next call
};

class PacketReader {
public:
    PacketReader();

    // Where the next bytes are received to; never empty while the reader is used as below.
    std::span<std::byte> FreeSpace();
    // Counts `count` bytes received into FreeSpace().
    void Received(size_t count);
    // The next packet, consumed. NeedMore moves what is left to the buffer's start, so that a
    // whole packet of the largest accepted size always fits; TooLong and UnknownType end the
    // stream (the session closes).
    ReadResult Next();

private:
    std::unique_ptr<std::byte[]> buffer_;
    size_t begin_ = 0;  // first byte not yet consumed
    size_t end_ = 0;    // one past the last byte received
};

}  // namespace management
