// MatchDescriptor over working sets of 1k to 1M samples (persons x samples); prints ms per match.
// At 10^5 and 10^6 samples the same set is also scanned by two baselines: the plain sequential
// loop of the rule and the batched scan MatchDescriptor uses on a set without its pack.

#include "app/recognition/matching.h"
#include "app/recognition/sample_pack.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cfloat>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace recognition;

FaceDescriptor RandomDescriptor(std::mt19937& random) {
    std::normal_distribution<float> value(0.0f, 0.1f);
    FaceDescriptor descriptor;
    for (float& v : descriptor.values) v = value(random);
    return descriptor;
}

// 10 samples per person, at most 1000 persons (building the set re-sorts on every append). Kept
// between the benchmarks of one size; the live descriptors are unrelated faces and second
// pictures of enrolled ones.
struct Bench {
    PersonModelSet models;
    std::vector<FaceDescriptor> queries;
};

Bench& Get(uint32_t samples) {
    static std::map<uint32_t, std::unique_ptr<Bench>> built;
    std::unique_ptr<Bench>& bench = built[samples];
    if (bench) return *bench;
    bench = std::make_unique<Bench>();
    const uint32_t kSamplesPerPerson = std::max<uint32_t>(10, samples / 1000);
    std::mt19937 random(1);
    for (uint32_t id = 1; id <= samples / kSamplesPerPerson; ++id) {
        auto person = std::make_unique<PersonModel>();
        person->personId = id;
        for (uint32_t s = 0; s < kSamplesPerPerson; ++s) {
            person->descriptors.Append(std::make_unique<FaceDescriptor>(RandomDescriptor(random)));
        }
        bench->models.Append(std::move(person));
    }
    std::normal_distribution<float> noise(0.0f, 0.02f);
    for (uint32_t q = 0; q < 8; ++q) {
        FaceDescriptor live = RandomDescriptor(random);
        if (q % 2 == 1) {
            const PersonModel& person = *bench->models.At(random() % bench->models.Count());
            live = *person.descriptors.At(random() % person.descriptors.Count());
            for (float& v : live.values) v += noise(random);
        }
        bench->queries.push_back(live);
    }
    return *bench;
}

// The set with or without its pack (any change drops it).
PersonModelSet& Models(uint32_t samples, bool packed) {
    PersonModelSet& models = Get(samples).models;
    if (packed && models.Pack() == nullptr) models.RebuildPack();
    if (!packed && models.Pack() != nullptr) models.Append(models.Remove(0));
    return models;
}

void BM_MatchDescriptor(benchmark::State& state) {
    const auto samples = static_cast<uint32_t>(state.range(0));
    const PersonModelSet& models = Models(samples, true);
    const std::vector<FaceDescriptor>& queries = Get(samples).queries;
    double exact = 0;
    for (const FaceDescriptor& live : queries) {
        uint32_t count = 0;
        models.Pack()->FindNearest(live, models.Helper(), &count);
        exact += count;
    }
    size_t q = 0;
    for (auto _ : state) benchmark::DoNotOptimize(MatchDescriptor(queries[q++ % queries.size()], models, 50));
    state.counters["samples"] = samples;
    state.counters["exact"] = exact / static_cast<double>(queries.size());  // exact distances per match
}

// The same pass on the calling thread alone: shows what the helper thread adds.
void BM_PackOneThread(benchmark::State& state) {
    const auto samples = static_cast<uint32_t>(state.range(0));
    const PersonModelSet& models = Models(samples, true);
    const std::vector<FaceDescriptor>& queries = Get(samples).queries;
    size_t q = 0;
    for (auto _ : state) benchmark::DoNotOptimize(models.Pack()->FindNearest(queries[q++ % queries.size()], nullptr));
}

// The set without a pack: every distance computed, eight samples at a time.
void BM_BatchedScan(benchmark::State& state) {
    const auto samples = static_cast<uint32_t>(state.range(0));
    const PersonModelSet& models = Models(samples, false);
    const std::vector<FaceDescriptor>& queries = Get(samples).queries;
    size_t q = 0;
    for (auto _ : state) benchmark::DoNotOptimize(MatchDescriptor(queries[q++ % queries.size()], models, 50));
}

// The rule as written, one distance after the other.
void BM_PlainLoop(benchmark::State& state) {
    const auto samples = static_cast<uint32_t>(state.range(0));
    const PersonModelSet& models = Models(samples, false);
    const std::vector<FaceDescriptor>& queries = Get(samples).queries;
    size_t q = 0;
    for (auto _ : state) {
        const FaceDescriptor& live = queries[q++ % queries.size()];
        float best = FLT_MAX;
        const PersonModel* owner = nullptr;
        for (const auto& person : models) {
            for (const auto& sample : person->descriptors) {
                const float distance = DescriptorDistance(live, *sample);
                if (distance < best) {
                    best = distance;
                    owner = person.get();
                }
            }
        }
        benchmark::DoNotOptimize(owner);
        benchmark::DoNotOptimize(best);
    }
}

// Packing the whole set, as the synchronizer does under the dispatch lock after every change.
void BM_RebuildPack(benchmark::State& state) {
    PersonModelSet& models = Models(static_cast<uint32_t>(state.range(0)), true);
    for (auto _ : state) benchmark::DoNotOptimize(models.RebuildPack());
}

}  // namespace

// Real time: a large match runs on the helper thread too.
BENCHMARK(BM_MatchDescriptor)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackOneThread)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchedScan)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainLoop)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RebuildPack)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
