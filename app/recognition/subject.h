#pragma once
// A tracked face: followed from frame to frame in the running camera's view, identified by the
// results of the prediction workers.

#include "app/recognition/frame_face.h"
#include "app/recognition/person_fields.h"
#include "app/recognition/predict_pool.h"
#include "app/recognition/recognized_entry_ref.h"

#include <opencv2/core/mat.hpp>

#include <QString>
#include <cfloat>
#include <cstdint>

namespace recognition {

constexpr int kFacesPerSubject = 16;

// A face rectangle scaled to the displayed picture.
struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct LabelPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// DispatchSubject holds id, rectangle, person id, sure hits and the last hand-over time.
struct Subject : DispatchSubject {
    double firstSeen = 0;
    double lastSeen = 0;
    int32_t overlapScores[kFacesPerSubject] = {};
    int32_t faceIndex = -1;  // face of the current frame, -1 when none
    ScreenRect screen;
    bool recognized = false;
    float bestDistance = FLT_MAX;
    PersonFields person;           // the person id lives in DispatchSubject
    RecognizedEntryRef listEntry;  // its entry in the recognized-persons list, if any
    cv::Mat picture;               // face chip of the best result
    QString labelText;
    bool hasLabel = false;  // the label window exists (made with the first result)
    bool labelShown = false;
    LabelPoint lastLabelPosition;

    bool HasFace() const { return faceIndex >= 0; }

    // The label follows the face but is moved only when it shifted by more than 4 pixels;
    // true when it has to be moved to `position`.
    bool MoveLabel(LabelPoint position);
};

// Pixels the label is moved only beyond.
constexpr int kLabelSlack = 4;
// The label sits this many pixels above the face.
constexpr int kLabelRise = 20;

}  // namespace recognition
