#pragma once
// One camera's stream: the capture, the newest frame (already rotated and mirrored) and the
// event that tells the viewport a new frame is there. The capture thread opens, reads and
// closes it; the viewport takes frames under the frame lock.

#include "platform/sync.h"
#include "settings/groups.h"

#include <chrono>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

namespace camera {

// Opening a network URL gives up after this long, so that stopping the camera never waits for
// ever on a camera that does not answer. It is shorter than the smallest connection limit of the
// hang-up detection (30 s), which therefore acts on stalled reads only unless that limit is
// lowered for a test.
constexpr std::chrono::milliseconds kStreamOpenTimeout{20000};
// A read that gets no data gives up after this long: a backstop well beyond the largest stall
// window of the hang-up detection (30 s limit plus its 10 s period), which acts first.
constexpr std::chrono::milliseconds kStreamReadTimeout{60000};

struct CvStream {
    cv::Mat frame;
    platform::CriticalSection frameLock;
    platform::Event newFrameEvent{false, false};
    cv::VideoCapture capture;
    int32_t deviceNumber = -1;
    char16_t devicePath[260] = {};
    char16_t url[2084] = {};  // not empty: an IP camera stream
    int32_t preferredWidth = -1;
    int32_t preferredHeight = -1;
    int32_t actualWidth = 0;
    int32_t actualHeight = 0;
    int32_t rotation = 0;
    int32_t mirroring = 0;

    CvStream() = default;
    ~CvStream();
    CvStream(const CvStream&) = delete;
    CvStream& operator=(const CvStream&) = delete;
};

// Sets a fresh stream up from a camera description: the web camera's number, path and size
// wish (only when both sides are non-zero and neither is -1), or the URL; rotation 0..3 and the
// mirroring flag.
void SetUpStream(CvStream& stream, const settings::CameraDescriptor& camera);

bool OpenStream(CvStream& stream);
bool ReadFrame(CvStream& stream);
void CloseStream(CvStream& stream);

// The picture as stored: rotation 1 turns it 90° counter-clockwise, 2 clockwise, 3 by 180°;
// mirroring flips it left to right before it is turned.
void TransformFrame(const cv::Mat& source, int32_t rotation, int32_t mirroring, cv::Mat& target);

}  // namespace camera
