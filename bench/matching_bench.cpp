// MatchDescriptor over working sets of 1k to 1M samples (persons x samples); prints ms per match.

#include "app/recognition/matching.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

using namespace recognition;

FaceDescriptor RandomDescriptor(std::mt19937& random) {
    std::normal_distribution<float> value(0.0f, 0.1f);
    FaceDescriptor descriptor;
    for (float& v : descriptor.values) v = value(random);
    return descriptor;
}

// 10 samples per person, at most 1000 persons (building the set re-sorts on every append).
void BM_MatchDescriptor(benchmark::State& state) {
    const auto samples = static_cast<uint32_t>(state.range(0));
    const uint32_t kSamplesPerPerson = std::max<uint32_t>(10, samples / 1000);
    std::mt19937 random(1);
    PersonModelSortedList models;
    for (uint32_t id = 1; id <= samples / kSamplesPerPerson; ++id) {
        auto person = std::make_unique<PersonModel>();
        person->personId = id;
        for (uint32_t s = 0; s < kSamplesPerPerson; ++s) {
            person->descriptors.Append(std::make_unique<FaceDescriptor>(RandomDescriptor(random)));
        }
        models.Append(std::move(person));
    }
    const FaceDescriptor live = RandomDescriptor(random);
    for (auto _ : state) benchmark::DoNotOptimize(MatchDescriptor(live, models, 50));
    state.counters["samples"] = samples;
}

}  // namespace

BENCHMARK(BM_MatchDescriptor)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
