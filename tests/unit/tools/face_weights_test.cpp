#include "tools/face_weights.h"

#include <gtest/gtest.h>

#include <QMap>

#include <cstring>
#include <random>

namespace tools {
namespace {

QByteArray Floats(std::initializer_list<float> values) {
    QByteArray bytes;
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        for (int i = 0; i < 4; ++i) bytes.append(static_cast<char>(bits >> (8 * i)));
    }
    return bytes;
}

struct Shards {
    QMap<QString, QByteArray> files;
    ShardReader Reader() const {
        return [this](const QString& path) -> std::optional<QByteArray> {
            if (!files.contains(path)) return std::nullopt;
            return files.value(path);
        };
    }
};

// Two groups; the first is cut into two shards in the middle of its second tensor.
const char kManifest[] = R"([
  {"paths": ["a.bin", "b.bin"], "weights": [
    {"name": "q", "shape": [2, 2], "dtype": "float32", "quantization": {"dtype": "uint8", "scale": 0.5, "min": -1}},
    {"name": "f", "shape": [2], "dtype": "float32"}]},
  {"paths": ["c.bin"], "weights": [
    {"name": "w", "shape": [3], "dtype": "float32", "quantization": {"dtype": "uint16", "scale": 0.25, "min": 10}}]}
])";

Shards ValidShards() {
    Shards shards;
    const QByteArray first = QByteArray("\x00\x01\x02\xff", 4) + Floats({1.5f, -2.25e-7f});
    shards.files["a.bin"] = first.left(6);
    shards.files["b.bin"] = first.mid(6);
    shards.files["c.bin"] = QByteArray("\x00\x00\x04\x00\x00\x01", 6);
    return shards;
}

TEST(FaceWeights, DequantizesAndJoinsShards) {
    const Shards shards = ValidShards();
    QString error;
    const auto tensors = ParseWeights(kManifest, shards.Reader(), error);
    ASSERT_TRUE(tensors) << error.toStdString();
    ASSERT_EQ(tensors->size(), 3u);
    EXPECT_EQ((*tensors)[0].name, "q");
    EXPECT_EQ((*tensors)[0].shape, (std::vector<long>{2, 2}));
    EXPECT_EQ((*tensors)[0].values, (std::vector<float>{-1, -0.5f, 0, 126.5f}));
    EXPECT_EQ((*tensors)[1].values, (std::vector<float>{1.5f, -2.25e-7f}));
    EXPECT_EQ((*tensors)[2].values, (std::vector<float>{10, 11, 74}));
}

TEST(FaceWeights, RefusesShortShardsMissingShardsAndUnknownTypes) {
    QString error;
    Shards shards = ValidShards();
    shards.files["b.bin"].chop(1);
    EXPECT_FALSE(ParseWeights(kManifest, shards.Reader(), error));
    EXPECT_TRUE(error.contains("\"f\"")) << error.toStdString();

    shards = ValidShards();
    shards.files.remove("c.bin");
    EXPECT_FALSE(ParseWeights(kManifest, shards.Reader(), error));

    shards = ValidShards();
    for (const char* bad :
         {"int32\"}", "float32\", \"quantization\": {\"dtype\": \"int8\", \"scale\": 1, \"min\": 0}}"}) {
        QByteArray manifest(kManifest);
        manifest.replace("float32\"}]},", QByteArray(bad) + "]},");
        EXPECT_FALSE(ParseWeights(manifest, shards.Reader(), error)) << bad;
    }
    for (const char* shape : {"[2, 0]", "[2, -2]", "[2.5, 2]", "\"4\"", "[100000000, 100000000]"}) {
        QByteArray manifest(kManifest);
        manifest.replace("[2, 2]", shape);
        EXPECT_FALSE(ParseWeights(manifest, shards.Reader(), error)) << shape;
    }
    EXPECT_FALSE(ParseWeights("{}", shards.Reader(), error));
    EXPECT_FALSE(ParseWeights("[{\"paths\": []}]", shards.Reader(), error));
}

// Damaged manifests and shards must end in an answer, never in a crash or a read past the data.
TEST(FaceWeights, GarbageManifestsAndShardsAreHandled) {
    std::mt19937 random(4711);
    const QByteArray manifest(kManifest);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = manifest;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const int at = static_cast<int>(random() % damaged.size());
            switch (random() % 3) {
            case 0:
                damaged[at] = static_cast<char>(random());
                break;
            case 1:
                damaged.remove(at, 1 + static_cast<int>(random() % 8));
                break;
            default:
                damaged.insert(at, "0123456789[]{},:\""[random() % 17]);
                break;
            }
        }
        Shards shards = ValidShards();
        for (QByteArray& shard : shards.files) shard.truncate(static_cast<int>(random() % (shard.size() + 1)));
        QString error;
        const auto tensors = ParseWeights(damaged, shards.Reader(), error);
        if (!tensors) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        for (const WeightTensor& tensor : *tensors) {
            size_t count = 1;
            for (long d : tensor.shape) count *= static_cast<size_t>(d);
            EXPECT_EQ(tensor.values.size(), count);
        }
    }
}

}  // namespace
}  // namespace tools
