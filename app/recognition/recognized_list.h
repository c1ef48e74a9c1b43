#pragma once
// The recognized-persons list: the newest recognized-person events, newest first, at most 256.

#include "app/recognition/subject.h"

#include <opencv2/core/mat.hpp>

#include <QString>
#include <deque>
#include <memory>

namespace recognition {

struct RecognizedListItem {
    double time = 0;
    char16_t cameraName[64] = {};
    cv::Mat thumbnail;  // the face picture after its JPEG round trip; empty when it failed
    uint32_t personId = 0;
    PersonFields person;
    double confidence = 0;  // percent
};

// The face picture as the list shows it: written as JPEG of quality 100 to a temporary file
// and read back. False (logged) when it cannot be written.
bool MakeThumbnail(const cv::Mat& picture, cv::Mat* thumbnail);

class RecognizedPersonsList {
public:
    static constexpr size_t kCapacity = 256;

    // Inserts at the top after dropping the oldest entries beyond 255.
    RecognizedListItem* InsertAtTop(std::unique_ptr<RecognizedListItem> item);
    bool Contains(const RecognizedListItem* item) const;
    size_t Size() const { return items_.size(); }
    // 0 is the newest entry.
    const RecognizedListItem& At(size_t row) const { return *items_[row]; }
    void Clear() { items_.clear(); }

private:
    std::deque<std::unique_ptr<RecognizedListItem>> items_;
};

}  // namespace recognition
