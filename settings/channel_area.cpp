#include "settings/channel_area.h"

#include <QtEndian>
#include <cstring>

namespace settings::channel {

void ChannelArea::CopyOut(size_t offset, void* bytes, size_t count) const {
    if (Fits(offset, count)) {
        std::memcpy(bytes, data_ + offset, count);
    } else {
        std::memset(bytes, 0, count);
    }
}

void ChannelArea::CopyIn(size_t offset, const void* bytes, size_t count) {
    if (Fits(offset, count)) std::memcpy(data_ + offset, bytes, count);
}

void ChannelArea::Clear(size_t offset, size_t bytes) {
    if (Fits(offset, bytes)) std::memset(data_ + offset, 0, bytes);
}

uint32_t ChannelArea::U32(size_t offset) const {
    uint8_t raw[4];
    CopyOut(offset, raw, sizeof raw);
    return qFromLittleEndian<uint32_t>(raw);
}

uint16_t ChannelArea::U16(size_t offset) const {
    uint8_t raw[2];
    CopyOut(offset, raw, sizeof raw);
    return qFromLittleEndian<uint16_t>(raw);
}

double ChannelArea::F64(size_t offset) const {
    uint8_t raw[8];
    CopyOut(offset, raw, sizeof raw);
    const uint64_t bits = qFromLittleEndian<uint64_t>(raw);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString ChannelArea::Text(size_t offset, size_t chars) const {
    if (!Fits(offset, chars * 2)) return {};
    QString text;
    for (size_t i = 0; i < chars; ++i) {
        const char16_t unit = qFromLittleEndian<char16_t>(data_ + offset + 2 * i);
        if (unit == 0) break;
        text.append(QChar(unit));
    }
    return text;
}

void ChannelArea::SetU32(size_t offset, uint32_t value) {
    uint8_t raw[4];
    qToLittleEndian(value, raw);
    CopyIn(offset, raw, sizeof raw);
}

void ChannelArea::SetU16(size_t offset, uint16_t value) {
    uint8_t raw[2];
    qToLittleEndian(value, raw);
    CopyIn(offset, raw, sizeof raw);
}

void ChannelArea::SetF64(size_t offset, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    uint8_t raw[8];
    qToLittleEndian(bits, raw);
    CopyIn(offset, raw, sizeof raw);
}

void ChannelArea::SetText(size_t offset, size_t chars, QStringView text) {
    if (chars == 0 || !Fits(offset, chars * 2)) return;
    Clear(offset, chars * 2);
    const size_t used = std::min(static_cast<size_t>(text.size()), chars - 1);
    for (size_t i = 0; i < used; ++i) qToLittleEndian<char16_t>(text[i].unicode(), data_ + offset + 2 * i);
}

}  // namespace settings::channel
