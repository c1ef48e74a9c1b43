#include "app/enrolment/display_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace enrolment {
namespace {

int Rounded(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

DisplayMapping::DisplayMapping(cv::Size picture, cv::Size area) : display_(picture) {
    area = cv::Size(std::max(area.width, 1), std::max(area.height, 1));
    if (picture.width <= 0 || picture.height <= 0) return;
    if (picture.width > area.width || picture.height > area.height) {
        // Cross-multiplied to compare the aspect ratios exactly.
        if (int64_t{picture.width} * area.height >= int64_t{picture.height} * area.width) {
            const int height = Rounded(double(picture.height) * area.width / picture.width);
            display_ = cv::Size(area.width, std::max(1, height));
        } else {
            const int width = Rounded(double(picture.width) * area.height / picture.height);
            display_ = cv::Size(std::max(1, width), area.height);
        }
        scaleX_ = double(picture.width) / display_.width;
        scaleY_ = double(picture.height) / display_.height;
    }
    origin_ = cv::Point((area.width - display_.width) / 2, (area.height - display_.height) / 2);
}

cv::Rect DisplayMapping::ToDisplay(const recognition::FrameFace& face) const {
    return cv::Rect(Rounded(face.x / scaleX_), Rounded(face.y / scaleY_), Rounded(face.width / scaleX_),
                    Rounded(face.height / scaleY_));
}

}  // namespace enrolment
