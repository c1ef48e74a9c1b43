#include "app/database/picture_files.h"

#include "platform/hostinfo.h"
#include "platform/paths.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <opencv2/imgcodecs.hpp>

#include <vector>

namespace database {

namespace {

// Qt's own ceiling for one decoded image, in MiB: a 100-megapixel picture at 4 bytes a pixel.
constexpr int kAllocationLimitMb = 400;
constexpr int kStoredJpegQuality = 75;
constexpr int kTempJpegQuality = 100;

bool SizeAllowed(const QSize& size) {
    return size.width() > 0 && size.height() > 0 && qint64{size.width()} * size.height() <= kMaxPicturePixels;
}

LoadedPicture Read(QImageReader& reader) {
    reader.setAllocationLimit(kAllocationLimitMb);
    LoadedPicture picture;
    // Formats that cannot tell their size before decoding stay within the allocation limit.
    const QSize claimed = reader.size();
    if (claimed.isValid() && !SizeAllowed(claimed)) {
        picture.status = PictureStatus::TooLarge;
        return picture;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull() || !SizeAllowed(image.size())) {
        picture.status = PictureStatus::Unreadable;
        return picture;
    }
    picture.status = PictureStatus::Loaded;
    picture.image = std::move(image);
    return picture;
}

}  // namespace

LoadedPicture LoadPictureFile(const QString& path) {
    if (!QFileInfo(path).isFile()) return {PictureStatus::Missing, {}};
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return Read(reader);
}

QImage DecodePicture(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&buffer);
    return Read(reader).image;
}

TempPictureFile::TempPictureFile(const QString& extension)
    : path_(platform::TempFolder() + QStringLiteral("ostv") + platform::NewGuidText() + extension) {}

TempPictureFile::~TempPictureFile() { QFile::remove(path_); }

QByteArray EncodeSampleChip(const cv::Mat& chip) {
    std::vector<uchar> bytes;
    try {
        if (chip.empty() || !cv::imencode(".jpg", chip, bytes, {cv::IMWRITE_JPEG_QUALITY, kStoredJpegQuality})) {
            return {};
        }
    } catch (const cv::Exception&) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QByteArray SampleImageThroughTempFile(const cv::Mat& chip) {
    const TempPictureFile temp(QStringLiteral(".jpg"));
    const std::string file = QFile::encodeName(temp.Path()).toStdString();
    try {
        if (chip.empty() || !cv::imwrite(file, chip, {cv::IMWRITE_JPEG_QUALITY, kTempJpegQuality})) return {};
        return EncodeSampleChip(cv::imread(file, cv::IMREAD_COLOR));
    } catch (const cv::Exception&) {
        return {};
    }
}

}  // namespace database
