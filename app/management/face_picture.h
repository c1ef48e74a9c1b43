#pragma once
// Purpose: the picture of a newly detected face that the event carries: the frame's part under the
//          face rectangle, black where the rectangle leaves the frame, scaled to 150 x 150 pixels.
// Threads: any thread.
// Owns: nothing.

#include "app/recognition/frame_face.h"

#include <opencv2/core/mat.hpp>

namespace management {

constexpr int kFacePictureSide = 150;

// Empty when the rectangle or the frame is empty.
cv::Mat FacePicture(const cv::Mat& frame, const recognition::FrameFace& face);

}  // namespace management
