#include "app/management/face_picture.h"

#include <opencv2/imgproc.hpp>

namespace management {

cv::Mat FacePicture(const cv::Mat& frame, const recognition::FrameFace& face) {
    if (frame.empty() || face.width <= 0 || face.height <= 0) return {};
    cv::Mat canvas = cv::Mat::zeros(face.height, face.width, frame.type());
    const cv::Rect wanted(face.x, face.y, face.width, face.height);
    const cv::Rect covered = wanted & cv::Rect(0, 0, frame.cols, frame.rows);
    if (!covered.empty()) frame(covered).copyTo(canvas(covered - wanted.tl()));
    cv::Mat picture;
    cv::resize(canvas, picture, cv::Size(kFacePictureSide, kFacePictureSide), 0, 0, cv::INTER_LINEAR);
    return picture;
}

}  // namespace management
