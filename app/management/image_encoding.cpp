#include "app/management/image_encoding.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <QByteArray>

#include <vector>

namespace management {

std::optional<ImageFormat> ImageFormatFromNumber(uint32_t number) {
    switch (number) {
    case 0:
        return ImageFormat::Jpeg;
    case 1:
        return ImageFormat::Png;
    case 2:
        return ImageFormat::Bmp;
    default:
        return std::nullopt;
    }
}

QString EncodeImage(const cv::Mat& picture, ImageFormat format) {
    if (picture.empty()) return {};
    std::vector<uchar> file;
    try {
        bool written = false;
        switch (format) {
        case ImageFormat::Jpeg:
            written = cv::imencode(".jpg", picture, file, {cv::IMWRITE_JPEG_QUALITY, 100});
            break;
        case ImageFormat::Png:
            written = cv::imencode(".png", picture, file);
            break;
        case ImageFormat::Bmp:
            written = cv::imencode(".bmp", picture, file);
            break;
        }
        if (!written) return {};
    } catch (const cv::Exception&) {
        // A pixel type the format cannot hold.
        return {};
    }
    const QByteArray base64 =
        QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), qsizetype(file.size())).toBase64();
    return QString::fromLatin1(base64);
}

}  // namespace management
