#pragma once
// Person matching: the enrolled person owning the sample nearest to a live descriptor.

#include "app/recognition/face_descriptor.h"
#include "app/recognition/person_model.h"

#include <QString>

#include <optional>

namespace recognition {

struct PersonMatch {
    float distance = 0;
    const PersonModel* person = nullptr;  // valid while the working model set cannot change
};

// Euclidean distance: squared differences summed in single precision in index order 0..127,
// then the single-precision square root.
float DescriptorDistance(const FaceDescriptor& a, const FaceDescriptor& b);

// The nearest sample of every model in list order; a sample wins only by being strictly
// nearer, so ties go to the earlier person and sample. The set's pack, when it has one, skips
// the exact distance of samples that cannot win, with the same result. Nothing when the set holds no sample or
// the nearest one is farther than likelyDistance / 100. Call only while the set cannot change.
std::optional<PersonMatch> MatchDescriptor(const FaceDescriptor& live, const PersonModelSortedList& models,
                                           int likelyDistance);

// distance <= threshold / 100, compared in double; used with LikelyDistance (a reported match)
// and AssuranceDistance (a sure hit).
bool WithinDistance(float distance, int thresholdHundredths);

// (1 - distance) x 100 and its text "%.1f%%", as every view shows it.
double Confidence(float distance);
QString ConfidenceText(float distance);

}  // namespace recognition
