#pragma once
// A management session's question to the viewport: the running camera, its last picture and
// the subjects identified so far. The session and the posted event share the record: the
// viewport fills it on the user-interface thread and sets its event, and a session that stops
// waiting (the program ends) simply lets go of it.

#include "app/recognition/subject.h"
#include "platform/sync.h"

#include <opencv2/core/mat.hpp>

#include <QEvent>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace recognition {

struct SubjectStateRecord {
    uint32_t millisecondsSinceSeen = 0;
    uint32_t sureHits = 0;
    uint32_t personId = 0;
    double confidence = 0;
    PersonFields person;
    cv::Mat picture;  // copy of the subject's best face picture; empty when it has none
};

struct CameraStateRequest {
    static constexpr uint32_t kWantPicture = 1;
    static constexpr uint32_t kWantSubjects = 2;

    platform::Event completed{true, false};
    uint32_t flags = 0;
    // Filled by the viewport.
    int32_t cameraRunning = 0;
    int32_t cameraType = 0;
    char16_t cameraName[64] = {};
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    cv::Mat picture;
    std::vector<SubjectStateRecord> subjects;
};

inline constexpr int WMU_STATE_REQUEST = 219;  // WM_USER + 219

// The request as posted to the viewport. An event that Qt drops unhandled (the viewport is gone)
// still sets the request's event, so no sender waits for ever.
class StateRequestEvent final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + WMU_STATE_REQUEST);

    explicit StateRequestEvent(std::shared_ptr<CameraStateRequest> request)
        : QEvent(kType), request_(std::move(request)) {}
    ~StateRequestEvent() override {
        if (request_) request_->completed.Set();
    }
    // The viewport answers the request; the event no longer completes it.
    std::shared_ptr<CameraStateRequest> TakeRequest() { return std::move(request_); }

private:
    std::shared_ptr<CameraStateRequest> request_;
};

}  // namespace recognition
