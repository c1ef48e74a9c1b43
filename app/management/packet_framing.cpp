#include "app/management/packet_framing.h"

#include <QtEndian>

#include <cstring>
#include <new>

namespace management {

PacketHeader ReadPacketHeader(const std::byte* bytes) {
    return {qFromLittleEndian<uint32_t>(bytes), qFromLittleEndian<uint32_t>(bytes + 4)};
}

QByteArray BuildPacket(PacketType type, const QString& text) {
    const qsizetype dataLength = (text.size() + 1) * qsizetype(sizeof(char16_t));
    QByteArray packet(qsizetype(kPacketHeaderSize) + dataLength, Qt::Uninitialized);
    if (packet.size() != qsizetype(kPacketHeaderSize) + dataLength) throw std::bad_alloc();
    char* out = packet.data();
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(type), out);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(dataLength), out + 4);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), out + kPacketHeaderSize);
    qToLittleEndian<char16_t>(u'\0', out + kPacketHeaderSize + text.size() * sizeof(char16_t));
    return packet;
}

PacketReader::PacketReader() : buffer_(std::make_unique<std::byte[]>(kReceiveBufferSize)) {}

std::span<std::byte> PacketReader::FreeSpace() { return {buffer_.get() + end_, kReceiveBufferSize - end_}; }

void PacketReader::Received(size_t count) { end_ += count; }

ReadResult PacketReader::Next() {
    const size_t buffered = end_ - begin_;
    if (buffered >= kPacketHeaderSize) {
        const PacketHeader header = ReadPacketHeader(buffer_.get() + begin_);
        if (header.type != uint32_t(PacketType::_C2S_TCP_REQUEST) &&
            header.type != uint32_t(PacketType::_C2S_TCP_SUBSCRIBE)) {
            // Waiting for the data of an unknown packet could wait for more than the buffer holds.
            return {ReadVerdict::UnknownType, header, {}};
        }
        if (header.dataLength > kMaxIncomingDataLength) return {ReadVerdict::TooLong, header, {}};
        if (buffered >= kPacketHeaderSize + header.dataLength) {
            const std::span<const std::byte> data(buffer_.get() + begin_ + kPacketHeaderSize, header.dataLength);
            begin_ += kPacketHeaderSize + header.dataLength;
            return {ReadVerdict::Packet, header, data};
        }
    }
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, buffered);
        begin_ = 0;
        end_ = buffered;
    }
    return {ReadVerdict::NeedMore, {}, {}};
}

}  // namespace management
