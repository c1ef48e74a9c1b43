#include "tools/face_weights.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tools {
namespace {

// Stored element kinds: raw float32, or unsigned integers with value = min + scale * q.
enum class Storage { Float32, Uint8, Uint16 };

size_t StorageBytes(Storage storage) {
    switch (storage) {
    case Storage::Float32:
        return 4;
    case Storage::Uint8:
        return 1;
    case Storage::Uint16:
        return 2;
    }
    return 0;
}

float ReadFloat32(const unsigned char* p) {
    const uint32_t bits = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return std::bit_cast<float>(bits);
}

bool ParseShape(const QJsonValue& value, std::vector<long>& shape, size_t& count) {
    if (!value.isArray()) return false;
    count = 1;
    for (const QJsonValue& dim : value.toArray()) {
        const double d = dim.toDouble(-1);
        if (!dim.isDouble() || d < 1 || d > 1e8 || d != static_cast<long>(d)) return false;
        shape.push_back(static_cast<long>(d));
        if (count > std::numeric_limits<size_t>::max() / 4 / shape.back() || count * shape.back() > 1'000'000'000)
            return false;
        count *= shape.back();
    }
    return true;
}

std::optional<Storage> ParseStorage(const QJsonObject& weight, double& scale, double& min) {
    if (weight.value("dtype").toString() != "float32") return std::nullopt;
    const QJsonValue quantization = weight.value("quantization");
    if (quantization.isUndefined()) return Storage::Float32;
    const QJsonObject q = quantization.toObject();
    if (!q.value("scale").isDouble() || !q.value("min").isDouble()) return std::nullopt;
    scale = q.value("scale").toDouble();
    min = q.value("min").toDouble();
    const QString kind = q.value("dtype").toString();
    if (kind == "uint8") return Storage::Uint8;
    if (kind == "uint16") return Storage::Uint16;
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<WeightTensor>> ParseWeights(const QByteArray& manifestJson, const ShardReader& readShard,
                                                      QString& error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(manifestJson, &parseError);
    if (document.isNull() || !document.isArray()) {
        error = "the manifest is not a JSON array: " + parseError.errorString();
        return std::nullopt;
    }
    std::vector<WeightTensor> tensors;
    for (const QJsonValue& groupValue : document.array()) {
        const QJsonObject group = groupValue.toObject();
        if (!group.value("paths").isArray() || !group.value("weights").isArray()) {
            error = "a manifest group lacks \"paths\" or \"weights\"";
            return std::nullopt;
        }
        // The group's shards are one byte stream cut into files.
        QByteArray data;
        for (const QJsonValue& path : group.value("paths").toArray()) {
            const std::optional<QByteArray> shard = readShard(path.toString());
            if (!path.isString() || !shard) {
                error = "cannot read the shard \"" + path.toString() + "\"";
                return std::nullopt;
            }
            data += *shard;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
        size_t offset = 0;
        for (const QJsonValue& weightValue : group.value("weights").toArray()) {
            const QJsonObject weight = weightValue.toObject();
            WeightTensor tensor;
            tensor.name = weight.value("name").toString();
            size_t count = 0;
            double scale = 0, min = 0;
            const std::optional<Storage> storage = ParseStorage(weight, scale, min);
            if (tensor.name.isEmpty() || !ParseShape(weight.value("shape"), tensor.shape, count) || !storage) {
                error = "the weight \"" + tensor.name + "\" has no name, a bad shape or an unknown type";
                return std::nullopt;
            }
            const size_t size = count * StorageBytes(*storage);
            if (size > static_cast<size_t>(data.size()) - offset) {
                error = "the shards end inside the weight \"" + tensor.name + "\"";
                return std::nullopt;
            }
            const unsigned char* p = bytes + offset;
            tensor.values.resize(count);
            for (size_t i = 0; i < count; ++i) {
                switch (*storage) {
                case Storage::Float32:
                    tensor.values[i] = ReadFloat32(p + 4 * i);
                    break;
                case Storage::Uint8:
                    tensor.values[i] = static_cast<float>(min + scale * p[i]);
                    break;
                case Storage::Uint16:
                    tensor.values[i] = static_cast<float>(min + scale * (p[2 * i] | p[2 * i + 1] << 8));
                    break;
                }
            }
            offset += size;
            tensors.push_back(std::move(tensor));
        }
    }
    return tensors;
}

std::optional<std::vector<WeightTensor>> ReadWeightsManifest(const QString& manifestPath, QString& error) {
    QFile manifest(manifestPath);
    if (!manifest.open(QIODevice::ReadOnly)) {
        error = "cannot open " + manifestPath + ": " + manifest.errorString();
        return std::nullopt;
    }
    const QString folder = QFileInfo(manifestPath).absolutePath();
    return ParseWeights(
        manifest.readAll(),
        [&folder](const QString& path) -> std::optional<QByteArray> {
            QFile shard(folder + "/" + path);
            if (path.isEmpty() || !shard.open(QIODevice::ReadOnly)) return std::nullopt;
            return shard.readAll();
        },
        error);
}

}  // namespace tools
