#pragma once
// The last 31 seconds of the running camera, one frame per second at most, with the rectangles
// of the faces that had no person yet. Written by the frame processing, read by the
// unrecognized-person handling, both on the user-interface thread.

#include "app/recognition/frame_face.h"
#include "platform/contract.h"
#include "platform/oledate.h"

#include <opencv2/core/mat.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace recognition {

class SubjectTracker;

struct HistoryFace {
    uint32_t subjectId = 0;
    FrameFace rectangle;
};

// Whether anything may read the pictures of the entries pushed now: only the actions for an
// unrecognized subject do, and only when the operator configured some.
enum class HistoryPictures { Wanted, NotWanted };

struct HistorySlot {
    double time = 0;
    cv::Mat picture;
    std::vector<HistoryFace> faces;
};

class FrameHistory {
public:
    static constexpr int kSlots = 31;
    static constexpr std::chrono::seconds kInterval{1};

    // True when at least a second has passed since the last entry.
    bool Due(double now) const { return platform::OleSpan(lastTime_, now) >= kInterval; }

    // Writes the next slot: when the frame had faces, the rectangles of its unidentified subjects
    // in list order, and with them a copy of the frame (before drawing) in memory of its own,
    // which nobody writes to again, so readers may keep it (cv::Mat shares it). A slot without
    // rectangles is never read, and pictures nobody wants are not kept: such a slot holds neither
    // (a 1280x720 history would otherwise hold 86 MB for nothing).
    void Push(const cv::Mat& frame, double now, const SubjectTracker& tracker, bool hadFaces,
              HistoryPictures pictures);

    // Forgets the entries (the camera stopped); the slots keep their memory.
    void Clear();

    int Head() const { return head_; }
    int Tail() const { return tail_; }
    const HistorySlot& Slot(int index) const {
        OSTROVID_ASSERT(index >= 0 && index < kSlots, "history slot index in range");
        return slots_[size_t(index)];
    }

    // Slot indices from the oldest entry to the newest.
    std::vector<int> OldestFirst() const;

private:
    std::array<HistorySlot, kSlots> slots_;
    int head_ = 0;
    int tail_ = 0;
    double lastTime_ = 0;
};

}  // namespace recognition
