#include "app/database/photo_images.h"

#include "platform/log.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <gif_lib.h>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

namespace database {

namespace {

constexpr int kJpegQuality = 75;

// An RGBA picture scaled bicubically; a null image when it cannot be.
QImage ScaleBicubic(const QImage& picture, const QSize& size) {
    const QImage source = picture.convertToFormat(QImage::Format_RGBA8888);
    QImage scaled(size, QImage::Format_RGBA8888);
    if (source.isNull() || scaled.isNull()) return {};
    try {
        const cv::Mat from(source.height(), source.width(), CV_8UC4, const_cast<uchar*>(source.constBits()),
                           static_cast<size_t>(source.bytesPerLine()));
        cv::Mat to(scaled.height(), scaled.width(), CV_8UC4, scaled.bits(), static_cast<size_t>(scaled.bytesPerLine()));
        cv::resize(from, to, to.size(), 0, 0, cv::INTER_CUBIC);
    } catch (const cv::Exception&) {
        return {};
    }
    return scaled;
}

// Formats without alpha: a transparent area becomes white, not black.
QImage Opaque(const QImage& picture) {
    if (!picture.hasAlphaChannel()) return picture;
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, picture);
    return opaque;
}

int WriteToBuffer(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

// A 256-colour GIF; Qt quantizes, giflib writes.
QByteArray EncodeGif(const QImage& picture) {
    // An exact palette when the picture has at most 256 colours, else a dithered colour cube.
    QImage indexed = Opaque(picture).convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    if (indexed.isNull()) return {};
    const QList<QRgb> colors = indexed.colorTable();
    int mapSize = 2;
    while (mapSize < colors.size()) mapSize *= 2;
    std::vector<GifColorType> map(static_cast<size_t>(mapSize), GifColorType{0, 0, 0});
    for (qsizetype i = 0; i < colors.size(); ++i) {
        map[static_cast<size_t>(i)] = {static_cast<GifByteType>(qRed(colors[i])),
                                       static_cast<GifByteType>(qGreen(colors[i])),
                                       static_cast<GifByteType>(qBlue(colors[i]))};
    }
    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, WriteToBuffer, &error);
    if (gif == nullptr) return {};
    ColorMapObject* colorMap = GifMakeMapObject(mapSize, map.data());
    bool ok = colorMap != nullptr &&
              EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, colorMap) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < indexed.height(); ++y) {
        ok = EGifPutLine(gif, indexed.scanLine(y), indexed.width()) == GIF_OK;
    }
    GifFreeMapObject(colorMap);
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    return ok ? bytes : QByteArray();
}

QByteArray EncodeWithQt(const QImage& picture, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return {};
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "jpeg") == 0) writer.setQuality(kJpegQuality);
    if (!writer.write(qstrcmp(format, "png") == 0 ? picture : Opaque(picture))) return {};
    return bytes;
}

}  // namespace

PhotoFormat PhotoFormatForFile(const QString& path) {
    const QString extension = QFileInfo(path).suffix();
    if (extension.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0) return PhotoFormat::Bmp;
    if (extension.compare(QLatin1String("png"), Qt::CaseInsensitive) == 0) return PhotoFormat::Png;
    if (extension.compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0) return PhotoFormat::Gif;
    return PhotoFormat::Jpeg;
}

PhotoFormat PhotoFormatForClipboard(const QImage& image) {
    return image.depth() == 32 ? PhotoFormat::Png : PhotoFormat::Jpeg;
}

QSize PhotoSize(const QSize& picture) {
    const int longer = std::max(picture.width(), picture.height());
    if (longer <= kMaxPhotoSide) return picture;
    const auto scale = [&](int side) {
        return std::max(1, static_cast<int>(std::lround(static_cast<double>(side) * kMaxPhotoSide / longer)));
    };
    return {scale(picture.width()), scale(picture.height())};
}

QByteArray EncodePhoto(const QImage& picture, PhotoFormat format) {
    if (picture.isNull()) return {};
    QImage stored = picture;
    const QSize size = PhotoSize(picture.size());
    if (size != picture.size()) {
        stored = ScaleBicubic(picture, size);
        if (stored.isNull()) {
            WriteLog(QStringLiteral("AddImageToPersonPhotoList(): Exception on image resizing."));
            return {};
        }
    }
    switch (format) {
    case PhotoFormat::Bmp:
        return EncodeWithQt(stored, "bmp");
    case PhotoFormat::Png:
        return EncodeWithQt(stored, "png");
    case PhotoFormat::Gif:
        return EncodeGif(stored);
    case PhotoFormat::Jpeg:
        break;
    }
    return EncodeWithQt(stored, "jpeg");
}

}  // namespace database
