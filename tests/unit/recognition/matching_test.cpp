#include "app/recognition/matching.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

namespace recognition {
namespace {

FaceDescriptor WithFirst(float value) {
    FaceDescriptor descriptor;
    descriptor.values[0] = value;
    return descriptor;
}

std::unique_ptr<PersonModel> Person(uint32_t id, std::initializer_list<FaceDescriptor> samples) {
    auto person = std::make_unique<PersonModel>();
    person->personId = id;
    for (const FaceDescriptor& sample : samples) person->descriptors.Append(std::make_unique<FaceDescriptor>(sample));
    return person;
}

const FaceDescriptor kLive;  // all zeros

TEST(MatchDescriptor, NothingWithoutSamples) {
    PersonModelSortedList models;
    EXPECT_FALSE(MatchDescriptor(kLive, models, 50).has_value());
    models.Append(Person(1, {}));
    EXPECT_FALSE(MatchDescriptor(kLive, models, 50).has_value());
    models.Append(Person(2, {WithFirst(0.25f)}));
    auto match = MatchDescriptor(kLive, models, 50);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->person->personId, 2u);
    EXPECT_EQ(match->distance, 0.25f);
}

TEST(MatchDescriptor, NearestSampleWinsAndTiesGoToTheEarlierPerson) {
    PersonModelSortedList models;
    models.Append(Person(8, {WithFirst(0.1f)}));
    models.Append(Person(4, {WithFirst(0.4f), WithFirst(0.1f)}));  // sorts before 8
    models.Append(Person(9, {WithFirst(0.05f), WithFirst(0.3f)}));
    auto match = MatchDescriptor(WithFirst(0.2f), models, 50);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->person->personId, 4u);  // 4 and 8 both at 0.1, 4 is earlier
    EXPECT_EQ(match->distance, DescriptorDistance(WithFirst(0.2f), WithFirst(0.1f)));
    auto nearest = MatchDescriptor(WithFirst(0.06f), models, 50);
    ASSERT_TRUE(nearest.has_value());
    EXPECT_EQ(nearest->person->personId, 9u);
}

TEST(MatchDescriptor, ThresholdIsInclusive) {
    PersonModelSortedList models;
    models.Append(Person(1, {WithFirst(0.5f)}));
    auto at = MatchDescriptor(kLive, models, 50);
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(at->distance, 0.5f);

    PersonModelSortedList farther;
    farther.Append(Person(1, {WithFirst(std::nextafter(0.5f, 1.0f))}));
    EXPECT_GT(DescriptorDistance(kLive, *farther.At(0)->descriptors.At(0)), 0.5f);
    EXPECT_FALSE(MatchDescriptor(kLive, farther, 50).has_value());
    EXPECT_TRUE(MatchDescriptor(kLive, farther, 51).has_value());

    // The bound is compared in double: 0.15f lies just above 0.15 and 0.35f just below 0.35.
    EXPECT_FALSE(WithinDistance(0.15f, 15));
    EXPECT_TRUE(WithinDistance(0.35f, 35));
    EXPECT_TRUE(WithinDistance(std::nextafter(0.15f, 0.0f), 15));
}

TEST(MatchDescriptor, LabelledButNoSureHitBetweenTheThresholds) {
    PersonModelSortedList models;
    models.Append(Person(3, {WithFirst(0.3f)}));
    auto match = MatchDescriptor(kLive, models, 50);
    ASSERT_TRUE(match.has_value());
    EXPECT_TRUE(WithinDistance(match->distance, 50));
    EXPECT_FALSE(WithinDistance(match->distance, 20));
    EXPECT_EQ(ConfidenceText(match->distance), QStringLiteral("70.0%"));
    EXPECT_EQ(ConfidenceText(0.35f), QStringLiteral("65.0%"));
}

// The batched scan must give the same winner and the same bits as one plain distance per sample.
TEST(MatchDescriptor, BatchedScanIsBitIdenticalToThePlainLoop) {
    std::mt19937 random(42);
    std::normal_distribution<float> value(0.0f, 0.1f);
    auto randomDescriptor = [&] {
        FaceDescriptor descriptor;
        for (float& v : descriptor.values) v = value(random);
        return descriptor;
    };
    PersonModelSortedList models;
    for (uint32_t id = 1; id <= 40; ++id) {
        auto person = std::make_unique<PersonModel>();
        person->personId = id;
        for (uint32_t s = 0; s < id % 19; ++s) {
            person->descriptors.Append(std::make_unique<FaceDescriptor>(randomDescriptor()));
        }
        models.Append(std::move(person));
    }
    for (int round = 0; round < 200; ++round) {
        FaceDescriptor live = randomDescriptor();
        float best = FLT_MAX;
        const PersonModel* owner = nullptr;
        for (const auto& person : models) {
            for (const auto& sample : person->descriptors) {
                float distance = DescriptorDistance(live, *sample);
                if (distance < best) {
                    best = distance;
                    owner = person.get();
                }
            }
        }
        auto match = MatchDescriptor(live, models, 10000);
        ASSERT_TRUE(match.has_value());
        EXPECT_EQ(match->person, owner);
        EXPECT_EQ(std::memcmp(&match->distance, &best, sizeof best), 0);
    }
}

}  // namespace
}  // namespace recognition
