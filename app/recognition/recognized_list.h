#pragma once
// The recognized-persons list: the newest recognized-person events, newest first, at most 256.

#include "app/recognition/recognized_entry_ref.h"
#include "app/recognition/subject.h"

#include <opencv2/core/mat.hpp>

#include <QString>
#include <cstdint>
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
    // Filled by the person information dialog; meaningful only once detailsPresent is set.
    bool detailsPresent = false;
    char16_t address[256] = {};
    char16_t contacts[256] = {};
    char16_t description[256] = {};
    // Given by the list on insertion, unique within it.
    uint64_t serial = 0;
};

// The face picture as the list shows it: written as JPEG of quality 100 to a temporary file
// and read back. False (logged) when it cannot be written.
bool MakeThumbnail(const cv::Mat& picture, cv::Mat* thumbnail);

class RecognizedPersonsList {
public:
    static constexpr size_t kCapacity = 256;

    // Inserts at the top after dropping the oldest entries beyond 255.
    RecognizedListItem* InsertAtTop(std::unique_ptr<RecognizedListItem> item);
    size_t Size() const { return items_.size(); }
    // 0 is the newest entry.
    const RecognizedListItem& At(size_t row) const { return *items_[row]; }
    void Clear() { items_.clear(); }

    static RecognizedEntryRef RefOf(const RecognizedListItem& item) { return {&item, item.serial}; }
    // The entry while it is still in the list, else null.
    RecognizedListItem* Find(RecognizedEntryRef ref);
    // Its row (0 the newest), or -1 when it is no longer in the list.
    int RowOf(RecognizedEntryRef ref) const;
    // Removes and frees the entry; false when it was no longer there.
    bool Remove(RecognizedEntryRef ref);

private:
    std::deque<std::unique_ptr<RecognizedListItem>> items_;
    uint64_t lastSerial_ = 0;
};

}  // namespace recognition
