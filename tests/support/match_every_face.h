#pragma once
// Feeding the prediction workers so that every face they describe comes back: one person whose
// single sample every descriptor matches, and a sink that counts the deliveries. For figures and
// tests of the workers' throughput; any thread may deliver into the sink.

#include "app/recognition/person_model.h"
#include "app/recognition/recognized_data.h"
#include "settings/settings_hub.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace testsupport {

class CountingSink : public recognition::RecognizedDataSink {
public:
    bool Deliver(int, std::unique_ptr<recognition::RecognizedData>) override {
        delivered.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    std::atomic<int64_t> delivered{0};
};

// Publishes a threshold no distance exceeds and fills `persons` with one person of one sample.
inline void MatchEveryFace(recognition::PersonModelSortedList& persons, settings::SettingsHub& hub) {
    auto person = std::make_unique<recognition::PersonModel>();
    person->personId = 1;
    person->descriptors.Append(std::make_unique<recognition::FaceDescriptor>());
    persons.Append(std::move(person));
    hub.Update([](settings::SettingsState& next) { next.recognition.LikelyDistance = 1000000; });
}

}  // namespace testsupport
