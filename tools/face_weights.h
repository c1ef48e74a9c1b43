#pragma once
// Reader for a tfjs weights manifest and its binary shards (as shipped by face-api): every tensor
// comes out as float32 values, dequantized where the manifest says the shard holds integers.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tools {

struct WeightTensor {
    QString name;
    std::vector<long> shape;
    std::vector<float> values;  // row-major in the manifest's shape
};

// Returns the bytes of one shard named in the manifest, or nothing when it cannot be read.
using ShardReader = std::function<std::optional<QByteArray>(const QString& path)>;

// Nothing (and a reason in `error`) for malformed JSON, unknown types, impossible shapes or
// shards too short for the tensors they should hold.
std::optional<std::vector<WeightTensor>> ParseWeights(const QByteArray& manifestJson, const ShardReader& readShard,
                                                      QString& error);

// Reads the manifest file and the shards beside it.
std::optional<std::vector<WeightTensor>> ReadWeightsManifest(const QString& manifestPath, QString& error);

}  // namespace tools
