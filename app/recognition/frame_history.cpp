#include "app/recognition/frame_history.h"

#include "app/recognition/subject_tracker.h"

namespace recognition {

void FrameHistory::Push(const cv::Mat& frame, double now, const SubjectTracker& tracker, bool hadFaces) {
    head_ = (head_ + 1) % kSlots;
    if (head_ == tail_) tail_ = (tail_ + 1) % kSlots;
    HistorySlot& slot = slots_[size_t(head_)];
    slot.faces.clear();
    // New memory each time: an unrecognized-person action may still hold the slot's last
    // picture while the queue thread writes it to a file.
    slot.picture = frame.clone();
    slot.time = now;
    if (hadFaces) {
        for (const auto& subject : tracker.Subjects())
            if (subject->HasFace() && subject->personId == 0) slot.faces.push_back({subject->id, subject->rectangle});
    }
    lastTime_ = now;
}

void FrameHistory::Clear() {
    for (HistorySlot& slot : slots_) {
        slot.faces.clear();
        slot.time = 0;
    }
    head_ = tail_ = 0;
    lastTime_ = 0;
}

std::vector<int> FrameHistory::OldestFirst() const {
    std::vector<int> order;
    for (int i = tail_; i != head_;) {
        i = (i + 1) % kSlots;
        order.push_back(i);
    }
    return order;
}

}  // namespace recognition
