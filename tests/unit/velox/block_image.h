#pragma once
// Hand-made byte images of the runner block: values put at literal offsets, little endian.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace velotest {

struct ByteImage {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(65536, 0);

    void U32(size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
    }
    void F64(size_t offset, double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        for (int i = 0; i < 8; ++i) bytes[offset + i] = uint8_t(bits >> (8 * i));
    }
    void Text(size_t offset, const std::u16string& text) {
        for (size_t i = 0; i < text.size(); ++i) {
            bytes[offset + 2 * i] = uint8_t(text[i]);
            bytes[offset + 2 * i + 1] = uint8_t(text[i] >> 8);
        }
    }
};

}  // namespace velotest
