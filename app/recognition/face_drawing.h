#pragma once
// Frames around the faces of the viewport picture, coloured by the subject's watch list.

#include "app/recognition/subject_tracker.h"

#include <opencv2/core/types.hpp>

namespace recognition {

// Blue, green, red: white for unidentified subjects and the gray list, green for list 0, red
// for list 1.
cv::Scalar FaceColour(const Subject* subject);

// Draws every face of the current frame with a one-pixel anti-aliased rectangle.
void DrawFaceFrames(cv::Mat& frame, std::span<const FrameFace> faces, const SubjectTracker& tracker);

}  // namespace recognition
