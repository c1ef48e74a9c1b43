// The packed match against the sequential rule itself: the same person, the same bits of the
// distance, the same tie-breaking and the same threshold decision.

#include "app/recognition/matching.h"
#include "app/recognition/sample_pack.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace recognition {
namespace {

struct Reference {
    float distance = FLT_MAX;
    const PersonModel* person = nullptr;
};

// The rule as written: every sample in list order, strictly nearer wins.
Reference Sequential(const FaceDescriptor& live, const PersonModelSet& models) {
    Reference best;
    for (const auto& person : models) {
        for (const auto& sample : person->descriptors) {
            const float distance = DescriptorDistance(live, *sample);
            if (distance < best.distance) best = {distance, person.get()};
        }
    }
    return best;
}

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

class Faces {
public:
    explicit Faces(uint32_t seed) : random_(seed) {}

    FaceDescriptor Random() {
        FaceDescriptor descriptor;
        for (float& v : descriptor.values) v = value_(random_);
        return descriptor;
    }
    // A second picture of the same face: close to the first.
    FaceDescriptor Near(const FaceDescriptor& face, float spread = 0.02f) {
        std::normal_distribution<float> noise(0.0f, spread);
        FaceDescriptor descriptor = face;
        for (float& v : descriptor.values) v += noise(random_);
        return descriptor;
    }
    uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_); }

    // persons models of 0..maxSamples-1 random samples each.
    PersonModelSet Set(uint32_t persons, uint32_t maxSamples) {
        PersonModelSet models;
        for (uint32_t id = 1; id <= persons; ++id) {
            auto person = std::make_unique<PersonModel>();
            person->personId = id;
            const uint32_t samples = Below(maxSamples);
            for (uint32_t s = 0; s < samples; ++s) person->descriptors.Append(std::make_unique<FaceDescriptor>(Random()));
            models.Append(std::move(person));
        }
        return models;
    }

    // Live descriptors: unrelated faces and faces near a random sample of the set.
    std::vector<FaceDescriptor> Queries(const PersonModelSet& models, int count) {
        std::vector<const FaceDescriptor*> samples;
        for (const auto& person : models)
            for (const auto& sample : person->descriptors) samples.push_back(sample.get());
        std::vector<FaceDescriptor> queries;
        for (int i = 0; i < count; ++i) {
            if (i % 3 == 0 || samples.empty()) {
                queries.push_back(Random());
            } else {
                queries.push_back(Near(*samples[Below(static_cast<uint32_t>(samples.size()))], 0.005f * float(i % 7)));
            }
        }
        return queries;
    }

private:
    std::mt19937 random_;
    std::normal_distribution<float> value_{0.0f, 0.1f};
};

std::unique_ptr<PersonModel> Person(uint32_t id, std::initializer_list<FaceDescriptor> samples) {
    auto person = std::make_unique<PersonModel>();
    person->personId = id;
    for (const FaceDescriptor& sample : samples) person->descriptors.Append(std::make_unique<FaceDescriptor>(sample));
    return person;
}

// Compares the packed set's nearest sample with the rule, and MatchDescriptor's decision at
// several thresholds with the rule's.
void ExpectSameAsRule(const FaceDescriptor& live, const PersonModelSet& models) {
    ASSERT_NE(models.Pack(), nullptr);
    const Reference rule = Sequential(live, models);
    const auto found = models.Pack()->FindNearest(live, models.Helper());
    ASSERT_EQ(found.has_value(), rule.person != nullptr);
    if (!found) return;
    EXPECT_EQ(found->person, rule.person);
    EXPECT_EQ(Bits(found->distance), Bits(rule.distance));
    for (int hundredths : {15, 35, 50, 1000000}) {
        const auto match = MatchDescriptor(live, models, hundredths);
        ASSERT_EQ(match.has_value(), WithinDistance(rule.distance, hundredths));
        if (!match) continue;
        EXPECT_EQ(match->person, rule.person);
        EXPECT_EQ(Bits(match->distance), Bits(rule.distance));
    }
}

TEST(MatchDescriptorPacked, RandomSetsOfEverySizeMatchTheRule) {
    Faces faces(7);
    for (uint32_t persons : {0u, 1u, 3u, 16u, 40u, 300u}) {
        PersonModelSet models = faces.Set(persons, 9);
        ASSERT_TRUE(models.RebuildPack());
        for (const FaceDescriptor& live : faces.Queries(models, 60)) ExpectSameAsRule(live, models);
    }
    // A live descriptor equal to a sample: distance zero.
    PersonModelSet models = faces.Set(50, 6);
    ASSERT_TRUE(models.RebuildPack());
    for (const auto& person : models)
        for (const auto& sample : person->descriptors) ExpectSameAsRule(*sample, models);
}

// Each kernel this processor runs gives the rule's result and, being the same integer pass,
// sends exactly the same samples to the exact computation.
TEST(MatchDescriptorPacked, EveryKernelGivesTheSameBounds) {
    Faces faces(13);
    for (uint32_t persons : {1u, 37u, 16000u}) {
        PersonModelSet models = faces.Set(persons, persons > 1000 ? 10 : 30);
        const FaceDescriptor copy = *models.At(models.Count() - 1)->descriptors.At(0);
        models.Append(Person(persons + 1, {copy}));  // a tie
        const std::vector<FaceDescriptor> queries = faces.Queries(models, persons > 1000 ? 9 : 60);
        std::vector<uint32_t> firstCounts;
        for (PackKernel kernel : {PackKernel::Portable, PackKernel::Avx2, PackKernel::Avx512Vnni}) {
            if (!SamplePack::Supported(kernel)) continue;
            SamplePack pack(models, kernel);
            std::vector<uint32_t> counts;
            for (const FaceDescriptor& live : queries) {
                const Reference rule = Sequential(live, models);
                uint32_t exact = 0;
                const auto found = pack.FindNearest(live, nullptr, &exact);
                counts.push_back(exact);
                ASSERT_TRUE(found.has_value());
                EXPECT_EQ(found->person, rule.person) << static_cast<int>(kernel);
                EXPECT_EQ(Bits(found->distance), Bits(rule.distance)) << static_cast<int>(kernel);
            }
            if (firstCounts.empty()) firstCounts = counts;
            EXPECT_EQ(counts, firstCounts) << static_cast<int>(kernel);
        }
    }
}

// Copies of one sample in several persons and within one person: the earliest copy wins, also
// when copies sit in chunks far apart of a set split over both threads.
TEST(MatchDescriptorPacked, ExactTiesGoToTheEarliestSample) {
    Faces faces(11);
    const FaceDescriptor face = faces.Random();
    for (uint32_t persons : {20u, 9000u}) {
        PersonModelSet models = faces.Set(persons, 17);
        const uint32_t last = models.At(models.Count() - 1)->personId;
        models.Append(Person(last + 1, {faces.Random(), face, face}));
        models.Append(Person(last + 2, {face}));
        // The earliest copy: in the middle of the list, behind a different sample.
        const uint32_t middle = models.At(models.Count() / 3)->personId;
        auto earliest = Person(middle, {faces.Random(), face});
        const PersonModel* owner = earliest.get();
        models.Append(std::move(earliest));
        ASSERT_TRUE(models.RebuildPack());
        EXPECT_EQ(persons > 1000, models.Pack()->Count() >= SamplePack::kSplitSamples);

        for (const FaceDescriptor& live : {face, faces.Near(face), faces.Near(face, 0.1f)}) ExpectSameAsRule(live, models);
        for (const FaceDescriptor& live : {face, faces.Near(face)}) {
            const auto match = MatchDescriptor(live, models, 1000000);
            ASSERT_TRUE(match.has_value());
            EXPECT_EQ(match->person, owner);
        }
    }
}

// A live descriptor and two samples whose computed distances are one float step apart (or equal
// after rounding): the strictly nearer wins wherever it is, and equal ones go to the earlier.
TEST(MatchDescriptorPacked, NearTiesWithinOneUlpFollowTheRule) {
    Faces faces(23);
    std::mt19937 random(5);
    int found = 0;
    for (int round = 0; round < 40; ++round) {
        const FaceDescriptor live = faces.Random();
        const FaceDescriptor first = faces.Near(live, 0.02f);
        const float distance = DescriptorDistance(live, first);
        // Nudge one component by a float step until the distance moves by exactly one step.
        FaceDescriptor second = first;
        bool apart = false;
        for (int attempt = 0; attempt < 2000 && !apart; ++attempt) {
            second = first;
            const auto k = random() % FaceDescriptor::kSize;
            second.values[k] = std::nextafter(second.values[k], random() % 2 ? 1.0f : -1.0f);
            const float other = DescriptorDistance(live, second);
            apart = other == std::nextafter(distance, 1.0f) || other == std::nextafter(distance, 0.0f);
        }
        if (!apart) continue;
        ++found;
        for (bool nearerFirst : {false, true}) {
            PersonModelSet models = faces.Set(60, 5);
            const bool secondNearer = DescriptorDistance(live, second) < distance;
            const FaceDescriptor& early = nearerFirst == secondNearer ? second : first;
            const FaceDescriptor& late = nearerFirst == secondNearer ? first : second;
            models.Append(Person(1000, {early}));
            models.Append(Person(1001, {late}));
            models.Append(Person(1002, {first}));  // an exact tie with one of them, behind both
            ASSERT_TRUE(models.RebuildPack());
            ExpectSameAsRule(live, models);
            const auto match = MatchDescriptor(live, models, 1000000);
            ASSERT_TRUE(match.has_value());
            const bool earlyIsNearer = DescriptorDistance(live, early) < DescriptorDistance(live, late);
            EXPECT_EQ(match->person->personId, earlyIsNearer ? 1000u : 1001u);
        }
    }
    EXPECT_GT(found, 20);
}

// The threshold decision on distances exactly at LikelyDistance / 100 and one float step above.
TEST(MatchDescriptorPacked, DistanceExactlyAtTheThresholdIsReported) {
    Faces faces(31);
    const FaceDescriptor live;  // zeros: a sample with one component x lies at distance |x|
    for (float bound : {0.35f, 0.5f, 0.15f}) {
        const int hundredths = static_cast<int>(std::lround(bound * 100));
        FaceDescriptor at;
        at.values[3] = bound;
        ASSERT_EQ(DescriptorDistance(live, at), bound);
        FaceDescriptor above;
        above.values[3] = std::nextafter(bound, 1.0f);
        for (const FaceDescriptor& sample : {at, above}) {
            PersonModelSet models = faces.Set(200, 6);
            models.Append(Person(500, {sample}));
            ASSERT_TRUE(models.RebuildPack());
            ExpectSameAsRule(live, models);
            const auto match = MatchDescriptor(live, models, hundredths);
            const bool reported = static_cast<double>(DescriptorDistance(live, sample)) <= hundredths / 100.0;
            ASSERT_EQ(match.has_value(), reported);
            if (match) {
                EXPECT_EQ(match->person->personId, 500u);
            }
        }
    }
    // 0.35f lies below 0.35 and is reported; 0.15f lies above 0.15 and is not.
    PersonModelSet models;
    FaceDescriptor at35;
    at35.values[0] = 0.35f;
    models.Append(Person(1, {at35}));
    ASSERT_TRUE(models.RebuildPack());
    EXPECT_TRUE(MatchDescriptor(live, models, 35).has_value());
}

// Samples with NaN, infinities or values too large for the float sum never win by accident and
// never hide a real winner; live descriptors like that match nobody, as the rule says.
TEST(MatchDescriptorPacked, NonFiniteAndHugeValuesFollowTheRule) {
    Faces faces(41);
    PersonModelSet models = faces.Set(100, 5);
    const float odd[] = {std::numeric_limits<float>::quiet_NaN(), INFINITY, -INFINITY, 1e30f, -3e7f, FLT_MAX, 5.0f};
    uint32_t id = 1000;
    const FaceDescriptor target = faces.Random();
    for (float value : odd) {
        FaceDescriptor sample = target;
        sample.values[id % FaceDescriptor::kSize] = value;
        models.Append(Person(id++, {sample, faces.Near(target, 0.05f)}));
    }
    ASSERT_TRUE(models.RebuildPack());
    for (const FaceDescriptor& live : faces.Queries(models, 40)) ExpectSameAsRule(live, models);
    ExpectSameAsRule(target, models);
    for (float value : odd) {
        FaceDescriptor live = target;
        live.values[5] = value;
        ExpectSameAsRule(live, models);
    }
    // Only odd samples: the finite huge ones still have a distance, the others none.
    PersonModelSet oddOnly;
    FaceDescriptor nan;
    nan.values[0] = std::numeric_limits<float>::quiet_NaN();
    FaceDescriptor infinite;
    infinite.values[1] = INFINITY;
    oddOnly.Append(Person(1, {nan, infinite}));
    ASSERT_TRUE(oddOnly.RebuildPack());
    EXPECT_FALSE(MatchDescriptor(target, oddOnly, 1000000).has_value());
    ExpectSameAsRule(target, oddOnly);
}

// One sample far outside the others must not coarsen the steps of all: the bound still spares
// almost every exact distance, and the outlier itself still matches.
TEST(MatchDescriptorPacked, AnOutlierSampleKeepsTheBoundTight) {
    Faces faces(43);
    PersonModelSet models = faces.Set(2000, 9);
    FaceDescriptor outlier = faces.Random();
    outlier.values[0] = 900.0f;
    models.Append(Person(5000, {outlier}));
    ASSERT_TRUE(models.RebuildPack());
    const uint32_t count = models.Pack()->Count();
    for (const FaceDescriptor& live : faces.Queries(models, 30)) {
        ExpectSameAsRule(live, models);
        uint32_t exact = 0;
        models.Pack()->FindNearest(live, nullptr, &exact);
        EXPECT_LT(exact, count / 50) << "of " << count;
    }
    ExpectSameAsRule(outlier, models);
    EXPECT_EQ(MatchDescriptor(outlier, models, 0)->person->personId, 5000u);
}

// Over 2^16 samples the match is split between the caller and the helper thread.
TEST(MatchDescriptorPacked, LargeSetsSplitOverBothThreadsMatchTheRule) {
    Faces faces(47);
    PersonModelSet models = faces.Set(16000, 10);  // about 72,000 samples
    ASSERT_TRUE(models.RebuildPack());
    ASSERT_GE(models.Pack()->Count(), SamplePack::kSplitSamples);
    ASSERT_NE(models.Helper(), nullptr);
    for (const FaceDescriptor& live : faces.Queries(models, 24)) {
        ExpectSameAsRule(live, models);
        uint32_t exact = 0;
        const auto alone = models.Pack()->FindNearest(live, nullptr, &exact);
        const auto shared = models.Pack()->FindNearest(live, models.Helper());
        ASSERT_EQ(alone.has_value(), shared.has_value());
        EXPECT_EQ(alone->sample, shared->sample);
        EXPECT_EQ(Bits(alone->distance), Bits(shared->distance));
        EXPECT_LT(exact, models.Pack()->Count() / 100);
    }
}

// Every change drops the pack, so a match never reads a stale one; the rebuilt pack sees the
// change.
TEST(MatchDescriptorPacked, ListChangesBetweenMatches) {
    Faces faces(53);
    PersonModelSet models = faces.Set(80, 6);
    ASSERT_TRUE(models.RebuildPack());
    const FaceDescriptor face = faces.Random();
    models.Append(Person(900, {face}));
    EXPECT_EQ(models.Pack(), nullptr);
    EXPECT_EQ(MatchDescriptor(face, models, 0)->person->personId, 900u);
    ASSERT_TRUE(models.RebuildPack());
    ExpectSameAsRule(face, models);

    // Replaced by a model without that sample: the old sample must not be found again.
    const uint32_t position = *models.FindPosition(900);
    models.Replace(position, Person(900, {faces.Random()}));
    EXPECT_EQ(models.Pack(), nullptr);
    ASSERT_TRUE(models.RebuildPack());
    ExpectSameAsRule(face, models);
    EXPECT_FALSE(MatchDescriptor(face, models, 0).has_value());

    models.Append(Person(901, {face}));
    ASSERT_TRUE(models.RebuildPack());
    models.Remove(*models.FindPosition(901));
    EXPECT_EQ(models.Pack(), nullptr);
    EXPECT_FALSE(MatchDescriptor(face, models, 0).has_value());
    ASSERT_TRUE(models.RebuildPack());
    ExpectSameAsRule(face, models);

    for (auto& person : models.TakeAll()) EXPECT_NE(person, nullptr);
    EXPECT_EQ(models.Pack(), nullptr);
    ASSERT_TRUE(models.RebuildPack());
    EXPECT_FALSE(MatchDescriptor(face, models, 1000000).has_value());
}

// Workers match at the same time against one large set; only one of them gets the helper.
TEST(MatchDescriptorPacked, ConcurrentMatchesFromSeveralThreads) {
    Faces faces(59);
    PersonModelSet models = faces.Set(16000, 10);
    ASSERT_TRUE(models.RebuildPack());
    ASSERT_NE(models.Helper(), nullptr);
    const std::vector<FaceDescriptor> queries = faces.Queries(models, 12);
    std::vector<Reference> expected;
    for (const FaceDescriptor& live : queries) expected.push_back(Sequential(live, models));

    constexpr int kThreads = 6;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                for (size_t q = 0; q < queries.size(); ++q) {
                    const auto match = MatchDescriptor(queries[(q + t) % queries.size()], models, 1000000);
                    const Reference& rule = expected[(q + t) % queries.size()];
                    if (!match || match->person != rule.person || Bits(match->distance) != Bits(rule.distance))
                        ++mismatches[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace recognition
