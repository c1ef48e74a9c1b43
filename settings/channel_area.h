#pragma once
// Reads and writes the fields of the shared channel area at explicit offsets, little-endian and
// unaligned. Accesses outside the area read as zero or empty and write nothing, so a damaged
// packet can never make either side touch memory beyond the area.

#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>

namespace settings::channel {

class ChannelArea {
public:
    ChannelArea(uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

    uint32_t U32(size_t offset) const;
    int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
    uint16_t U16(size_t offset) const;
    double F64(size_t offset) const;
    // The text of a field of `chars` characters up to its first NUL, or the whole field.
    QString Text(size_t offset, size_t chars) const;

    void SetU32(size_t offset, uint32_t value);
    void SetI32(size_t offset, int32_t value) { SetU32(offset, static_cast<uint32_t>(value)); }
    void SetU16(size_t offset, uint16_t value);
    void SetF64(size_t offset, double value);
    // Writes the text cut to chars - 1 characters with its NUL; the rest of the field is cleared.
    void SetText(size_t offset, size_t chars, QStringView text);
    void Clear(size_t offset, size_t bytes);
    void CopyIn(size_t offset, const void* bytes, size_t count);
    void CopyOut(size_t offset, void* bytes, size_t count) const;

    bool Fits(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }

private:
    uint8_t* data_;
    size_t size_;
};

}  // namespace settings::channel
