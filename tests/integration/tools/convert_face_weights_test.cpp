// The weights converter: refuses what is not the network, and makes the same bytes every time.

#include "app/recognition/face_models.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Result {
    int exitCode = -1;
    QString errors;
};

Result Convert(const QStringList& arguments) {
    QProcess converter;
    converter.start(OSTROVID_CONVERTER, arguments);
    EXPECT_TRUE(converter.waitForFinished(120000));
    return {converter.exitStatus() == QProcess::NormalExit ? converter.exitCode() : -1,
            QString::fromLocal8Bit(converter.readAllStandardError())};
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Sha256(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

TEST(ConvertFaceWeights, RefusesManifestsThatDoNotHoldTheNetwork) {
    QTemporaryDir dir;
    const QString out = dir.filePath("out.dat");
    EXPECT_EQ(Convert({}).exitCode, 2);
    EXPECT_EQ(Convert({dir.filePath("missing.json"), out}).exitCode, 1);

    Write(dir.filePath("empty.json"), R"([{"paths": [], "weights": []}])");
    Result result = Convert({dir.filePath("empty.json"), out});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains("conv32_down/conv/filters is missing")) << result.errors.toStdString();

    // The first convolution with a transposed shape.
    Write(dir.filePath("w.bin"), QByteArray(7 * 7 * 3 * 32 * 4 + 32 * 4, '\0'));
    Write(dir.filePath("shape.json"), R"([{"paths": ["w.bin"], "weights": [
        {"name": "conv32_down/conv/filters", "shape": [7, 7, 32, 3], "dtype": "float32"},
        {"name": "conv32_down/conv/bias", "shape": [32], "dtype": "float32"}]}])");
    result = Convert({dir.filePath("shape.json"), out});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains("conv32_down")) << result.errors.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

// face-api's weights as the setup step installs them.
QString InstalledManifest() {
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    const QString base = cache.isEmpty() ? QDir::homePath() + "/.cache" : QString::fromLocal8Bit(cache);
    return base + "/ostrovid/npm/node_modules/@vladmandic/face-api/model/face_recognition_model-weights_manifest.json";
}

TEST(ConvertFaceWeights, MakesTheSameLoadableFileEveryRun) {
    const QString manifest = InstalledManifest();
    ASSERT_TRUE(QFile::exists(manifest)) << manifest.toStdString() << " (scripts/prepare.sh installs it)";
    QTemporaryDir dir;
    ASSERT_EQ(Convert({manifest, dir.filePath("a.dat")}).exitCode, 0);
    ASSERT_EQ(Convert({manifest, dir.filePath("b.dat")}).exitCode, 0);
    EXPECT_EQ(Sha256(dir.filePath("a.dat")), Sha256(dir.filePath("b.dat")));

    ASSERT_TRUE(QFile::rename(dir.filePath("a.dat"), dir.filePath(recognition::kFaceNetworkFile)));
    ASSERT_TRUE(QFile::link(QString(OSTROVID_DATA_DIR) + "/" + recognition::kShapePredictor68File,
                            dir.filePath(recognition::kShapePredictor68File)));
    QString error;
    EXPECT_TRUE(recognition::FaceModels::Load(dir.path(), error)) << error.toStdString();
}

}  // namespace
