#include "app/management/password_guard.h"

#include <algorithm>

namespace management {

WrongPasswordGuard::Verdict WrongPasswordGuard::WrongPassword(const QString& address, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(lock_);
    auto found = records_.find(address);
    if (found == records_.end()) {
        MakeRoomLocked(now);
        records_.insert(address, Record{now, now, now, 1, 0});
        return {std::chrono::milliseconds(0), JournalLine::Single, 1};
    }
    Record& record = found.value();
    record.lastSeen = now;
    if (now - record.windowStart >= kJournalPeriod) {
        record.windowStart = now;
        record.inWindow = 0;
    }
    const auto delay = std::min<std::chrono::milliseconds>(kMaxDelay, delayStep_ * record.inWindow);
    ++record.inWindow;
    if (now - record.lastLine < kJournalPeriod) {
        ++record.sinceLine;
        return {delay, JournalLine::None, record.sinceLine};
    }
    const int count = record.sinceLine + 1;
    record.lastLine = now;
    record.sinceLine = 0;
    return {delay, count == 1 ? JournalLine::Single : JournalLine::Summary, count};
}

void WrongPasswordGuard::MakeRoomLocked(Clock::time_point now) {
    if (records_.size() < kMaxAddresses) return;
    // An address quiet for a minute has nothing left to delay; what its record still counts is
    // given up.
    for (auto it = records_.begin(); it != records_.end();) {
        if (now - it->lastSeen >= kJournalPeriod)
            it = records_.erase(it);
        else
            ++it;
    }
    if (records_.size() < kMaxAddresses) return;
    auto oldest = records_.begin();
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (it->lastSeen < oldest->lastSeen) oldest = it;
    }
    records_.erase(oldest);
}

}  // namespace management
