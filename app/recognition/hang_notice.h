#pragma once
// The notice that the running camera seems hung: raised when no frame came for a while, ended
// by the next frame. Its state is the running camera's record flag, which every camera start
// clears, so a notice never outlives the camera it was raised for.

#include <cstdint>

namespace recognition {

class HangNotice {
public:
    // flag: 1 while the notice is shown; owned by the camera record, user-interface thread only.
    explicit HangNotice(int32_t& flag) : active_(flag) {}

    // Called on a tick without a new frame. True when this call raised the notice: no
    // activity for more than 5 s while the stream is open, or waitConnectionTime - 5 s while
    // it is still connecting. lastActivity 0 means the camera has not started yet.
    bool Check(int64_t lastActivity, bool streamOpen, int64_t nowSeconds, int32_t waitConnectionTime) {
        if (lastActivity == 0 || active_ != 0) return false;
        const int64_t delay = streamOpen ? kOpenDelay : int64_t(waitConnectionTime) - kOpenDelay;
        if (nowSeconds - lastActivity <= delay) return false;
        active_ = 1;
        return true;
    }

    // Called on a processed frame. True when a notice was active and has now ended.
    bool EndOnFrame() {
        const bool wasActive = active_ != 0;
        active_ = 0;
        return wasActive;
    }

    // The camera stopped: whatever it showed ends without a "works again".
    void Clear() { active_ = 0; }

    bool Active() const { return active_ != 0; }

private:
    static constexpr int64_t kOpenDelay = 5;
    int32_t& active_;
};

}  // namespace recognition
