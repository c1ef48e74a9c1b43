#include "app/management/packet_framing.h"

#include <QtEndian>

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

}  // namespace management
