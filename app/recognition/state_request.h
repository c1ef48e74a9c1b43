#pragma once
// A management session's question to the viewport: the running camera, its last picture and
// the subjects identified so far. The session owns the record and waits on its event; the
// viewport fills it on the user-interface thread and sets the event.

#include "app/recognition/subject.h"
#include "platform/sync.h"

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <memory>
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

}  // namespace recognition
