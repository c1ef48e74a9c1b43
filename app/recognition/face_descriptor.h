#pragma once
// The 128-value face descriptor and its 512-byte storage form (the DESCRIPTOR column).

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace recognition {

struct FaceDescriptor {
    static constexpr size_t kSize = 128;
    // Stored as the values in element order, little-endian IEEE-754 single precision.
    static constexpr size_t kStorageSize = kSize * sizeof(float);

    std::array<float, kSize> values{};

    // A stored value of any other size than kStorageSize is not a descriptor.
    static std::optional<FaceDescriptor> FromStorage(const void* bytes, size_t size);
    static std::optional<FaceDescriptor> FromStorage(const QByteArray& bytes);
    QByteArray ToStorage() const;

    friend bool operator==(const FaceDescriptor&, const FaceDescriptor&) = default;
};

static_assert(sizeof(float) == 4, "descriptors are stored as 32-bit floats");

}  // namespace recognition
