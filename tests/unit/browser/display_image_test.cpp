#include "app/browser/display_image.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

QByteArray EncodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(DisplayImage, TranslucentPixelsArePremultipliedWithTruncation) {
    QImage picture(2, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(255, 128, 3, 128));
    picture.setPixel(1, 0, qRgba(200, 100, 50, 0));

    const QImage shown = browser::DecodeForDisplay(EncodePng(picture));
    ASSERT_EQ(shown.format(), QImage::Format_ARGB32_Premultiplied);
    const auto* line = reinterpret_cast<const QRgb*>(shown.constScanLine(0));
    // 255 * 128 / 255 = 128, 128 * 128 / 255 = 64 (64.25), 3 * 128 / 255 = 1 (1.5 truncated).
    EXPECT_EQ(line[0], qRgba(128, 64, 1, 128));
    EXPECT_EQ(line[1], qRgba(0, 0, 0, 0));
}

TEST(DisplayImage, OpaqueAndBrokenPictures) {
    QImage opaque(1, 1, QImage::Format_RGB32);
    opaque.fill(qRgb(10, 20, 30));
    const QImage shown = browser::DecodeForDisplay(EncodePng(opaque));
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixel(0, 0), qRgb(10, 20, 30));

    EXPECT_TRUE(browser::DecodeForDisplay(QByteArray()).isNull());
    EXPECT_TRUE(browser::DecodeForDisplay(QByteArray("\x89PNG garbage", 12)).isNull());
}

}  // namespace
