#pragma once
// Purpose: where a picture appears in a picture area of the sample wizard: shrunk to fit when it
//          is larger than the area, centred, and the way from picture rectangles to display ones.
// Threads: any (a plain value).

#include "app/recognition/frame_face.h"

#include <opencv2/core/types.hpp>

namespace enrolment {

class DisplayMapping {
public:
    DisplayMapping() = default;
    // A picture larger than the area in either direction is shrunk to the largest size with the
    // same aspect ratio that fits (the limiting side gets the area's size, the other is rounded);
    // a smaller one is shown at its size.
    DisplayMapping(cv::Size picture, cv::Size area);

    cv::Size DisplaySize() const { return display_; }
    // Top-left corner of the displayed picture in the area.
    cv::Point Origin() const { return origin_; }
    // Picture size divided by display size, per direction; 1 when the picture fits.
    double ScaleX() const { return scaleX_; }
    double ScaleY() const { return scaleY_; }

    // Each coordinate and size divided by its factor and rounded.
    cv::Rect ToDisplay(const recognition::FrameFace& face) const;

private:
    cv::Size display_;
    cv::Point origin_;
    double scaleX_ = 1.0;
    double scaleY_ = 1.0;
};

}  // namespace enrolment
