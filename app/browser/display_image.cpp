#include "app/browser/display_image.h"

namespace browser {

QImage DecodeForDisplay(const QByteArray& encoded) {
    QImage image;
    if (encoded.isEmpty() || !image.loadFromData(encoded)) return {};
    return PremultipliedForDisplay(image);
}

QImage PremultipliedForDisplay(const QImage& image) {
    if (image.isNull() || !image.hasAlphaChannel()) return image;
    // Qt's premultiplied format rounds (c * a + 127) / 255; the pictures are drawn with the
    // truncating product, so it is done here by hand.
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb pixel = line[x];
            const int alpha = qAlpha(pixel);
            line[x] = qRgba(qRed(pixel) * alpha / 255, qGreen(pixel) * alpha / 255, qBlue(pixel) * alpha / 255, alpha);
        }
    }
    // The channels now hold the products: drawn as premultiplied, they are not multiplied again.
    result.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return result;
}

}  // namespace browser
