#include "app/management/send_ring.h"

#include <utility>

namespace management {

QueueResult SendRing::Queue(QByteArray packet, WhenQueueFull whenFull, platform::Event& closing) {
    for (;;) {
        if (closing.Wait(0)) return QueueResult::Closing;
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (!RefusesLocked(packet, whenFull)) {
                queuedBytes_ += packet.size();
                entries_[head_] = std::move(packet);
                head_ = (head_ + 1) % kEntries;
                losing_ = false;
                if (!IsFullLocked()) room_.Set();
                notEmpty_.Set();
                return QueueResult::Queued;
            }
            if (whenFull == WhenQueueFull::Drop) {
                ++dropped_;
                const bool first = !losing_;
                losing_ = true;
                return first ? QueueResult::DroppedFirstOfBurst : QueueResult::Dropped;
            }
        }
        // The room signal may be stale (another producer filled the ring meanwhile); the loop
        // looks again under the lock.
        const int woken = platform::WaitForAny({&closing, &room_}, platform::kInfinite);
        if (woken != 1) return QueueResult::Closing;
    }
}

const QByteArray* SendRing::Tail() {
    std::lock_guard<std::mutex> lock(lock_);
    return head_ == tail_ ? nullptr : &entries_[tail_];
}

void SendRing::AdvanceTail() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (head_ == tail_) return;
        queuedBytes_ -= entries_[tail_].size();
        entries_[tail_] = QByteArray();
        tail_ = (tail_ + 1) % kEntries;
    }
    room_.Set();
}

void SendRing::Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    for (QByteArray& entry : entries_) entry = QByteArray();
    head_ = tail_ = 0;
    queuedBytes_ = 0;
    losing_ = false;
    dropped_ = 0;
    room_.Set();
    notEmpty_.Reset();
}

qsizetype SendRing::QueuedBytes() const {
    std::lock_guard<std::mutex> lock(lock_);
    return queuedBytes_;
}

uint64_t SendRing::DroppedPackets() const {
    std::lock_guard<std::mutex> lock(lock_);
    return dropped_;
}

}  // namespace management
