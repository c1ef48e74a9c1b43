#include "app/recognition/matching.h"

#include "app/recognition/sample_pack.h"

#include <cfloat>
#include <cmath>

namespace recognition {

namespace {

// Samples whose distances are computed together. Each sample keeps its own accumulator and
// its sum still runs over 0..127 in order, so every distance is bit-identical to
// DescriptorDistance; the independent sums only let the processor overlap them.
constexpr unsigned kBatch = 8;

struct Nearest {
    float distance = FLT_MAX;
    const PersonModel* person = nullptr;

    void Offer(float candidate, const PersonModel* owner) {
        if (candidate < distance) {
            distance = candidate;
            person = owner;
        }
    }
};

void ScanPerson(const FaceDescriptor& live, const PersonModel& person, Nearest& nearest) {
    const auto samples = person.descriptors.begin();
    const uint32_t count = person.descriptors.Count();
    uint32_t first = 0;
    for (; first + kBatch <= count; first += kBatch) {
        float sums[kBatch] = {};
        for (size_t k = 0; k < FaceDescriptor::kSize; ++k) {
            const float component = live.values[k];
            for (unsigned j = 0; j < kBatch; ++j) {
                const float difference = component - samples[first + j]->values[k];
                const float square = difference * difference;
                sums[j] += square;
            }
        }
        for (unsigned j = 0; j < kBatch; ++j) nearest.Offer(std::sqrt(sums[j]), &person);
    }
    for (; first < count; ++first) nearest.Offer(DescriptorDistance(live, *samples[first]), &person);
}

}  // namespace

float DescriptorDistance(const FaceDescriptor& a, const FaceDescriptor& b) {
    float sum = 0;
    for (size_t k = 0; k < FaceDescriptor::kSize; ++k) {
        const float difference = a.values[k] - b.values[k];
        const float square = difference * difference;
        sum += square;
    }
    return std::sqrt(sum);
}

std::optional<PersonMatch> MatchDescriptor(const FaceDescriptor& live, const PersonModelSortedList& models,
                                           int likelyDistance) {
    Nearest nearest;
    if (const SamplePack* pack = models.Pack()) {
        if (const std::optional<SamplePack::Nearest> found = pack->FindNearest(live, models.Helper())) {
            nearest.Offer(found->distance, found->person);
        }
    } else {
        for (const auto& person : models) ScanPerson(live, *person, nearest);
    }
    if (nearest.person == nullptr || !WithinDistance(nearest.distance, likelyDistance)) return std::nullopt;
    return PersonMatch{nearest.distance, nearest.person};
}

bool WithinDistance(float distance, int thresholdHundredths) {
    return static_cast<double>(distance) <= thresholdHundredths / 100.0;
}

double Confidence(float distance) { return (1.0 - static_cast<double>(distance)) * 100.0; }

QString ConfidenceText(float distance) { return QString::asprintf("%.1f%%", Confidence(distance)); }

}  // namespace recognition
