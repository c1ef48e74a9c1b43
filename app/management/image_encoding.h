#pragma once
// Purpose: pictures as the management documents carry them: an image file in the client's format
//          (JPEG at quality 100, PNG or BMP) written in Base64 without line breaks.
// Threads: any thread.
// Owns: nothing.

#include "app/management/session_link.h"

#include <opencv2/core/mat.hpp>

#include <QString>

#include <cstdint>
#include <optional>

namespace management {

// The format of a client's number 0, 1 or 2; nothing for any other number.
std::optional<ImageFormat> ImageFormatFromNumber(uint32_t number);

// The Base64 text of the picture's file; empty when the picture is empty or cannot be written in
// that format.
QString EncodeImage(const cv::Mat& picture, ImageFormat format);

}  // namespace management
