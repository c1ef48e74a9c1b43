#pragma once
// Purpose: a session's outgoing packet queue: a ring of which one entry always stays free. Events
//          are dropped rather than waited for, so the ring is deep enough for every event of one
//          frame (up to 16 faces arriving and 16 leaving), and events stop going in once 4 MiB
//          wait. Replies wait instead, while 8 MiB wait: a station that pipelines picture requests
//          and stops reading holds at most that, or one reply larger than it, however many it asks.
// Threads: any number of producers queue; the session's send thread alone reads and advances the
//          tail; Clear only while the send thread is not running.
// Owns: the queued packets.

#include "app/management/session_link.h"
#include "platform/sync.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <mutex>

namespace management {

enum class QueueResult {
    Queued,
    DroppedFirstOfBurst,  // the ring was full and this is the first loss since a packet went in
    Dropped,              // the ring was full, as it already was for the previous packet
    Closing,              // the session is ending
};

class SendRing {
public:
    static constexpr int kEntries = 64;
    static constexpr qsizetype kMaxDroppableBytes = 4 * 1024 * 1024;
    // Above the events' limit, so that a reply is not held back by the events a reading station
    // is being sent.
    static constexpr qsizetype kMaxWaitingBytes = 8 * 1024 * 1024;

    SendRing() = default;
    SendRing(const SendRing&) = delete;
    SendRing& operator=(const SendRing&) = delete;

    // Queues the packet. A full ring drops it (Drop) or waits for room (Wait) until `closing` is
    // set; a set `closing` refuses the packet in either case. Wait holds no lock while it waits.
    // A packet that would bring the waiting bytes over its kind's limit counts as meeting a full
    // ring; an empty ring takes a packet of any size.
    QueueResult Queue(QByteArray packet, WhenQueueFull whenFull, platform::Event& closing);

    // The oldest packet, or null when the ring is empty. It stays in place until AdvanceTail.
    const QByteArray* Tail();
    // Frees the oldest packet and makes room for one more.
    void AdvanceTail();
    // Frees every queued packet and restarts the loss count of a new session.
    void Clear();

    // Signalled when a packet went in (auto reset).
    platform::Event& NotEmpty() { return notEmpty_; }
    // Packets lost to a full ring since the last Clear.
    uint64_t DroppedPackets() const;
    // Bytes of the packets waiting, the one being sent included.
    qsizetype QueuedBytes() const;

private:
    bool IsFullLocked() const { return (head_ + 1) % kEntries == tail_; }
    bool RefusesLocked(const QByteArray& packet, WhenQueueFull whenFull) const {
        const qsizetype limit = whenFull == WhenQueueFull::Drop ? kMaxDroppableBytes : kMaxWaitingBytes;
        return IsFullLocked() || (head_ != tail_ && queuedBytes_ + packet.size() > limit);
    }

    mutable std::mutex lock_;
    std::array<QByteArray, kEntries> entries_;
    int head_ = 0;  // next entry to fill
    int tail_ = 0;  // oldest packet
    qsizetype queuedBytes_ = 0;
    bool losing_ = false;
    uint64_t dropped_ = 0;
    platform::Event room_{false, true};
    platform::Event notEmpty_{false, false};
};

}  // namespace management
