#include "app/recognition/frame_history.h"

#include "app/recognition/subject_tracker.h"

namespace recognition {

void FrameHistory::Push(const cv::Mat& frame, double now, const SubjectTracker& tracker, bool hadFaces,
                        HistoryPictures pictures) {
    head_ = (head_ + 1) % kSlots;
    if (head_ == tail_) tail_ = (tail_ + 1) % kSlots;
    HistorySlot& slot = slots_[size_t(head_)];
    slot.faces.clear();
    slot.time = now;
    if (hadFaces && pictures == HistoryPictures::Wanted) {
        for (const auto& subject : tracker.Subjects())
            if (subject->HasFace() && subject->personId == 0) slot.faces.push_back({subject->id, subject->rectangle});
    }
    // New memory each time: an unrecognized-person action may still hold the slot's last
    // picture while the queue thread writes it to a file.
    if (slot.faces.empty())
        slot.picture.release();
    else
        slot.picture = frame.clone();
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
