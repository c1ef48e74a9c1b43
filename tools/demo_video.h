#pragma once
// The demonstration's camera picture: scenes in which one or two people walk into a plain
// 640x480 view, stop, and walk out again, with an empty view between scenes and at both ends of
// the loop, so that every face leaves the view (and raises its events) before the next comes
// and the loop's seam joins two empty views. Written as an MJPEG stream (JPEG frames one after
// the other) that the demonstration camera serves in a loop. Used on one thread; owns values.

#include "tools/demo_cast.h"

#include <QString>
#include <opencv2/core/mat.hpp>

#include <chrono>
#include <vector>

namespace demo {

inline constexpr int kVideoWidth = 640;
inline constexpr int kVideoHeight = 480;
inline constexpr int kFramesPerSecond = 10;
// The side of a face picture in the view.
inline constexpr int kFaceSide = 220;

// One scene: the faces walk in together (the first from the left, the second from the right, a
// single one from the side the scene's number says), stop side by side and walk out.
struct Scene {
    std::vector<cv::Mat> faces;
};

struct SceneTiming {
    std::chrono::milliseconds enter{1500};
    std::chrono::milliseconds stay{4500};
    std::chrono::milliseconds leave{1500};
    std::chrono::milliseconds empty{2000};  // before each scene, and once more at the loop's end
};

// The demonstration's order: each known person alone, unknown people between them, and a known
// and an unknown person together last.
std::vector<Scene> DemoScenes(const std::vector<DemoPerson>& cast);

int FrameCount(const std::vector<Scene>& scenes, const SceneTiming& timing);

// Frame `index` (0 .. FrameCount - 1) of the loop.
cv::Mat VideoFrame(const std::vector<Scene>& scenes, const SceneTiming& timing, int index);

// Writes every frame as a JPEG into `file` (through a temporary file, renamed when complete).
bool WriteMjpeg(const std::vector<Scene>& scenes, const SceneTiming& timing, const QString& file, QString& error);

}  // namespace demo
