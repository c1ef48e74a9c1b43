#pragma once
// The notice that the running camera seems hung: raised when no frame came for a while, ended
// by the next frame.

#include <cstdint>

namespace recognition {

class HangNotice {
public:
    // Called on a tick without a new frame. True when this call raised the notice: no
    // activity for more than 5 s while the stream is open, or waitConnectionTime - 5 s while
    // it is still connecting. lastActivity 0 means the camera has not started yet.
    bool Check(int64_t lastActivity, bool streamOpen, int64_t nowSeconds, int32_t waitConnectionTime) {
        if (lastActivity == 0 || active_) return false;
        const int64_t delay = streamOpen ? kOpenDelay : int64_t(waitConnectionTime) - kOpenDelay;
        if (nowSeconds - lastActivity <= delay) return false;
        active_ = true;
        return true;
    }

    // Called on a processed frame. True when a notice was active and has now ended.
    bool EndOnFrame() {
        const bool wasActive = active_;
        active_ = false;
        return wasActive;
    }

    bool Active() const { return active_; }

private:
    static constexpr int64_t kOpenDelay = 5;
    bool active_ = false;
};

}  // namespace recognition
