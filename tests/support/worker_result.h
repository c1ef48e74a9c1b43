#pragma once
// A prediction worker's result as the tests post it: subject, person and distance, the person
// "Иванов Пётр" on the green list, and a 150×150 face picture.

#include "app/recognition/recognized_data.h"
#include "platform/fixedtext.h"

#include <opencv2/core.hpp>

#include <memory>

namespace testsupport {

inline std::unique_ptr<recognition::RecognizedData> WorkerResult(uint32_t subject, uint32_t person, float distance) {
    auto r = std::make_unique<recognition::RecognizedData>();
    r->subjectId = subject;
    r->personId = person;
    r->personIdAtHandOver = person;
    r->distance = distance;
    r->person.listNumber = 1;
    platform::CopyToFixed(r->person.surname, u"Иванов");
    platform::CopyToFixed(r->person.forename, u"Пётр");
    r->picture = std::make_unique<cv::Mat>(150, 150, CV_8UC3, cv::Scalar(40, 120, 200));
    return r;
}

}  // namespace testsupport
