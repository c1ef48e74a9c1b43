#pragma once
// One detected face of a frame, in frame pixels.

#include <cstdint>

namespace recognition {

struct FrameFace {
    int32_t x = 0;      // left column
    int32_t y = 0;      // top row
    int32_t width = 0;  // 0 for an empty rectangle
    int32_t height = 0;

    friend bool operator==(const FrameFace&, const FrameFace&) = default;
};

}  // namespace recognition
