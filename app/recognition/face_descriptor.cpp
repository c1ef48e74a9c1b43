#include "app/recognition/face_descriptor.h"

#include <QtEndian>

#include <cstring>

namespace recognition {

std::optional<FaceDescriptor> FaceDescriptor::FromStorage(const void* bytes, size_t size) {
    if (size != kStorageSize || bytes == nullptr) return std::nullopt;
    FaceDescriptor descriptor;
    auto source = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < kSize; ++i) {
        uint32_t bits = qFromLittleEndian<uint32_t>(source + i * sizeof(float));
        std::memcpy(&descriptor.values[i], &bits, sizeof(float));
    }
    return descriptor;
}

std::optional<FaceDescriptor> FaceDescriptor::FromStorage(const QByteArray& bytes) {
    return FromStorage(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QByteArray FaceDescriptor::ToStorage() const {
    QByteArray bytes(static_cast<qsizetype>(kStorageSize), Qt::Uninitialized);
    auto target = reinterpret_cast<unsigned char*>(bytes.data());
    for (size_t i = 0; i < kSize; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], sizeof(float));
        qToLittleEndian<uint32_t>(bits, target + i * sizeof(float));
    }
    return bytes;
}

}  // namespace recognition
