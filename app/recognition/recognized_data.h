#pragma once
// The result of one described and matched face, sent from a prediction worker to the viewport.

#include "app/recognition/person_fields.h"
#include "app/recognition/person_model.h"

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <memory>

namespace recognition {

struct RecognizedData {
    uint32_t subjectId = 0;
    uint32_t personIdAtHandOver = 0;
    uint32_t countAtHandOver = 0;
    std::unique_ptr<cv::Mat> picture;  // copy of the 150x150 face chip
    float distance = 0;
    uint32_t personId = 0;
    PersonFields person;
};

// Where workers deliver their results (the camera viewport). Runs on the worker's thread and
// must not wait for the receiver. Ownership passes with the call; a record that cannot be
// delivered is freed when the call returns false.
class RecognizedDataSink {
public:
    virtual ~RecognizedDataSink() = default;
    virtual bool Deliver(int workerIndex, std::unique_ptr<RecognizedData> record) = 0;
};

}  // namespace recognition
