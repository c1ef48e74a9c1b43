// Pictures handed in from outside (files, clipboard images, stored bytes): damaged and hostile
// ones are refused with the operator's message and no huge allocation; photos get their size
// and format; the temporary files of the sample path never stay behind.

#include "scripted_dialogs.h"
#include "tests/support/encoded_image.h"

#include "app/database/photo_images.h"
#include "app/database/picture_files.h"
#include "app/database/sample_creation.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

namespace dbtest {
namespace {

using namespace database;

uint32_t Crc32(const QByteArray& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<uint8_t>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& data) {
    char length[4], crc[4];
    qToBigEndian(static_cast<uint32_t>(data.size()), length);
    qToBigEndian(Crc32(type + data), crc);
    return QByteArray(length, 4) + type + data + QByteArray(crc, 4);
}

// A PNG whose header claims width x height, followed by a little image data.
QByteArray PngHeaderOnly(uint32_t width, uint32_t height) {
    char numbers[8];
    qToBigEndian(width, numbers);
    qToBigEndian(height, numbers + 4);
    const QByteArray header = QByteArray(numbers, 8) + QByteArray("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) +
           PngChunk("IDAT", QByteArray("\x78\x9c\x63\x00\x00", 5)) + PngChunk("IEND", {});
}

using testsupport::Encoded;

class PicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        qputenv("TMPDIR", QFile::encodeName(temp_.path()));
    }
    void TearDown() override { qunsetenv("TMPDIR"); }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = temp_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QStringList TempPictures() const { return QDir(temp_.path()).entryList({QStringLiteral("ostv*")}, QDir::Files); }
    QTemporaryDir temp_;
};

TEST_F(PicturesTest, DamagedAndHostileFilesAreRefusedWithTheLoadMessage) {
    QImage good(640, 480, QImage::Format_RGB32);
    good.fill(Qt::blue);
    const QByteArray png = Encoded(good, "png");
    const QByteArray jpeg = Encoded(good, "jpeg");
    ASSERT_FALSE(png.isEmpty());

    EXPECT_EQ(LoadPictureFile(temp_.filePath(QStringLiteral("missing.jpg"))).status, PictureStatus::Missing);
    EXPECT_EQ(LoadPictureFile(Write(QStringLiteral("empty.jpg"), {})).status, PictureStatus::Unreadable);
    EXPECT_EQ(LoadPictureFile(Write(QStringLiteral("text.jpg"), "not a picture at all\n")).status,
              PictureStatus::Unreadable);
    EXPECT_EQ(LoadPictureFile(Write(QStringLiteral("cut.png"), png.left(png.size() / 2))).status,
              PictureStatus::Unreadable);
    EXPECT_EQ(LoadPictureFile(Write(QStringLiteral("huge.png"), PngHeaderOnly(20000, 20000))).status,
              PictureStatus::TooLarge);
    EXPECT_EQ(LoadPictureFile(Write(QStringLiteral("wide.png"), PngHeaderOnly(4000000000u, 1))).status,
              PictureStatus::Unreadable);
    // A cut JPEG may decode partly; it must not bring anything down.
    LoadPictureFile(Write(QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() / 3)));
    // A file named .jpg that holds a PNG is read by its content.
    EXPECT_EQ(LoadPictureFile(Write(QStringLiteral("png.jpg"), png)).image.size(), QSize(640, 480));

    EXPECT_TRUE(DecodePicture(PngHeaderOnly(20000, 20000)).isNull());
    EXPECT_TRUE(DecodePicture(QByteArray(512, '\x7f')).isNull());
    EXPECT_TRUE(DecodePicture({}).isNull());

    // The sample path tells the operator and never calls the wizard.
    ScriptedDialogs dialogs;
    DbConnection unused;
    const shell::Journal journal;
    const DbSession context{unused, dialogs, dialogs, {}, journal};
    int wizardCalls = 0;
    const SampleWizard wizard = [&](const QString&) {
        ++wizardCalls;
        return std::optional<recognition::DescribedFace>();
    };
    const SampleOwner owner{1, {QStringLiteral("Иванов"), {}, {}}, 0, {}};
    for (const QString& name : {QStringLiteral("text.jpg"), QStringLiteral("huge.png"), QStringLiteral("cut.png"),
                                QStringLiteral("empty.jpg")}) {
        dialogs.notices.clear();
        EXPECT_EQ(CreateSampleFromFile(context, wizard, owner, temp_.filePath(name)).result, FlowResult::Abandoned);
        EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Ошибка загрузки файла.")}) << name.toStdString();
    }
    dialogs.notices.clear();
    CreateSampleFromImage(context, wizard, owner, QImage(150, 600, QImage::Format_RGB32));
    EXPECT_EQ(dialogs.notices,
              QStringList{QStringLiteral("Размер изображения 150x600 слишком мал для создания образца!")});
    EXPECT_EQ(wizardCalls, 0);
    EXPECT_TRUE(TempPictures().isEmpty()) << TempPictures().join(u' ').toStdString();
}

TEST_F(PicturesTest, SampleChipsAreStoredAsJpegAndTheirTemporaryFileGoes) {
    cv::Mat chip(150, 150, CV_8UC3, cv::Scalar(255, 0, 0));  // blue in capture byte order
    const QByteArray stored = SampleImageThroughTempFile(chip);
    ASSERT_TRUE(stored.startsWith("\xFF\xD8"));
    const QImage image = DecodePicture(stored);
    ASSERT_EQ(image.size(), QSize(150, 150));
    const QRgb centre = image.pixel(75, 75);
    EXPECT_GT(qBlue(centre), 200);
    EXPECT_LT(qRed(centre), 50);
    EXPECT_TRUE(SampleImageThroughTempFile(cv::Mat()).isEmpty());
    EXPECT_TRUE(TempPictures().isEmpty()) << TempPictures().join(u' ').toStdString();
}

TEST_F(PicturesTest, PhotosKeepTheirFormatAndFitIntoFourHundredPixels) {
    EXPECT_EQ(PhotoSize({300, 1000}), QSize(120, 400));
    EXPECT_EQ(PhotoSize({1000, 300}), QSize(400, 120));
    EXPECT_EQ(PhotoSize({400, 399}), QSize(400, 399));
    EXPECT_EQ(PhotoSize({1001, 3}), QSize(400, 1));
    EXPECT_EQ(PhotoSize({30000, 1}), QSize(400, 1));

    EXPECT_EQ(PhotoFormatForFile(QStringLiteral("/a/b.Bmp")), PhotoFormat::Bmp);
    EXPECT_EQ(PhotoFormatForFile(QStringLiteral("b.PNG")), PhotoFormat::Png);
    EXPECT_EQ(PhotoFormatForFile(QStringLiteral("b.gif")), PhotoFormat::Gif);
    EXPECT_EQ(PhotoFormatForFile(QStringLiteral("b.tiff")), PhotoFormat::Jpeg);
    EXPECT_EQ(PhotoFormatForFile(QStringLiteral("gif")), PhotoFormat::Jpeg);
    EXPECT_EQ(PhotoFormatForClipboard(QImage(4, 4, QImage::Format_ARGB32)), PhotoFormat::Png);
    EXPECT_EQ(PhotoFormatForClipboard(QImage(4, 4, QImage::Format_RGB888)), PhotoFormat::Jpeg);

    QImage picture(900, 300, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 40));
    const struct {
        PhotoFormat format;
        QByteArray magic;
    } cases[] = {{PhotoFormat::Jpeg, "\xFF\xD8"},
                 {PhotoFormat::Bmp, "BM"},
                 {PhotoFormat::Png, "\x89PNG"},
                 {PhotoFormat::Gif, "GIF8"}};
    for (const auto& c : cases) {
        const QByteArray bytes = EncodePhoto(picture, c.format);
        EXPECT_TRUE(bytes.startsWith(c.magic)) << static_cast<int>(c.format);
        const QImage back = DecodePicture(bytes);
        ASSERT_EQ(back.size(), QSize(400, 133)) << static_cast<int>(c.format);
        const QRgb pixel = back.pixel(200, 66);
        EXPECT_NEAR(qRed(pixel), 200, 12) << static_cast<int>(c.format);
        EXPECT_NEAR(qGreen(pixel), 30, 12) << static_cast<int>(c.format);
    }
    EXPECT_TRUE(EncodePhoto(QImage(), PhotoFormat::Png).isEmpty());
}

}  // namespace
}  // namespace dbtest
