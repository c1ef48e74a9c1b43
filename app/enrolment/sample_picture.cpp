#include "app/enrolment/sample_picture.h"

#include <QFile>
#include <QImageReader>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <exception>

namespace enrolment {
namespace {

// Only the header is read; formats Qt cannot read leave the size to the decoder's own limit.
bool DeclaresTooManyPixels(const QString& path) {
    QImageReader reader(path);
    const QSize size = reader.size();
    return size.isValid() && int64_t{size.width()} * size.height() > kMaxSamplePicturePixels;
}

cv::Mat ToEightBits(const cv::Mat& decoded) {
    cv::Mat converted;
    switch (decoded.depth()) {
    case CV_8U:
        return decoded;
    case CV_16U:
        decoded.convertTo(converted, CV_8U, 1.0 / 257.0);
        return converted;
    case CV_32F:
    case CV_64F:
        decoded.convertTo(converted, CV_8U, 255.0);
        return converted;
    default:
        return {};
    }
}

cv::Mat ToFrameChannels(const cv::Mat& eightBits) {
    cv::Mat converted;
    switch (eightBits.channels()) {
    case 1:
        cv::cvtColor(eightBits, converted, cv::COLOR_GRAY2BGR);
        return converted;
    case 3:
        return eightBits;
    case 4:
        cv::cvtColor(eightBits, converted, cv::COLOR_BGRA2BGR);
        return converted;
    default:
        return {};
    }
}

}  // namespace

cv::Mat ReadSamplePicture(const QString& path) {
    if (DeclaresTooManyPixels(path)) return {};
    try {
        const cv::Mat decoded = cv::imread(QFile::encodeName(path).toStdString(), cv::IMREAD_UNCHANGED);
        if (decoded.empty() || decoded.dims != 2) return {};
        const cv::Mat eightBits = ToEightBits(decoded);
        if (eightBits.empty()) return {};
        return ToFrameChannels(eightBits);
    } catch (const std::exception&) {
        // cv::Exception from a decoder, or no memory for the picture: the file cannot be used.
        return {};
    }
}

cv::Mat LimitPictureSide(const cv::Mat& picture, int maxSide) {
    if (picture.cols <= maxSide && picture.rows <= maxSide) return picture;
    const double factor = double(maxSide) / std::max(picture.cols, picture.rows);
    const cv::Size size(std::max(1, int(std::lround(picture.cols * factor))),
                        std::max(1, int(std::lround(picture.rows * factor))));
    cv::Mat limited;
    cv::resize(picture, limited, size, 0, 0, cv::INTER_LINEAR);
    return limited;
}

}  // namespace enrolment
