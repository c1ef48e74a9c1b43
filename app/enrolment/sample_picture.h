#pragma once
// Purpose: reads a picture file for a face sample into the form of a camera frame, and limits
//          the size of the picture the operator works on.
// Threads: any.

#include <QString>
#include <opencv2/core/mat.hpp>

#include <cstdint>

namespace enrolment {

// Pictures with more pixels are refused before decoding: a small file can declare a huge
// picture, and the decoder would allocate all of it first.
inline constexpr int64_t kMaxSamplePicturePixels = int64_t{1} << 27;

// The largest side of the picture faces are picked from.
inline constexpr int kMaxWorkingSide = 1920;

// The file decoded with its own channels and depth, then converted to what the capture delivers
// (8 bits, blue, green, red): gray pictures are spread to three channels, the alpha channel is
// dropped, deeper samples are reduced to 8 bits. Empty when the file cannot be read or decoded,
// is too large, or has a layout no camera frame can have.
cv::Mat ReadSamplePicture(const QString& path);

// The picture scaled (bilinear) so that neither side exceeds maxSide: the longer side becomes
// maxSide and the other keeps the aspect ratio, rounded. Smaller pictures come back as they are.
cv::Mat LimitPictureSide(const cv::Mat& picture, int maxSide);

}  // namespace enrolment
