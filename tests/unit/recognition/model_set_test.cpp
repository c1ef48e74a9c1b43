#include "app/recognition/face_descriptor.h"
#include "app/recognition/person_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace recognition {
namespace {

PersonModel* Person(uint32_t id) {
    auto person = new PersonModel{};
    person->personId = id;
    return person;
}

std::vector<uint32_t> Ids(const PersonModelSortedList& list) {
    std::vector<uint32_t> ids;
    for (const PersonModel* person : list) ids.push_back(person->personId);
    return ids;
}

TEST(FaceDescriptorStorage, ReadsLittleEndianFloatsInElementOrder) {
    unsigned char bytes[512] = {};
    // 1.0f = 0x3F800000 at element 0, -2.5f = 0xC0200000 at element 127.
    bytes[2] = 0x80; bytes[3] = 0x3F;
    bytes[510] = 0x20; bytes[511] = 0xC0;
    auto descriptor = FaceDescriptor::FromStorage(bytes, sizeof bytes);
    ASSERT_TRUE(descriptor.has_value());
    EXPECT_EQ(descriptor->values[0], 1.0f);
    EXPECT_EQ(descriptor->values[127], -2.5f);
    EXPECT_EQ(descriptor->values[64], 0.0f);
    QByteArray stored = descriptor->ToStorage();
    ASSERT_EQ(stored.size(), 512);
    EXPECT_EQ(std::memcmp(stored.constData(), bytes, 512), 0);
}

TEST(FaceDescriptorStorage, RefusesAnyOtherSizeAndGarbageRoundTrips) {
    QByteArray bytes(513, '\x11');
    EXPECT_FALSE(FaceDescriptor::FromStorage(bytes.left(511)).has_value());
    EXPECT_FALSE(FaceDescriptor::FromStorage(bytes).has_value());
    EXPECT_FALSE(FaceDescriptor::FromStorage(QByteArray()).has_value());
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        QByteArray garbage(512, Qt::Uninitialized);
        for (char& c : garbage) c = static_cast<char>(random());
        auto descriptor = FaceDescriptor::FromStorage(garbage);
        ASSERT_TRUE(descriptor.has_value());
        EXPECT_EQ(descriptor->ToStorage(), garbage);  // NaN patterns survive bit for bit
    }
}

TEST(SortedPointerList, AppendSortsFindsAndRemoves) {
    PersonModelSortedList list;
    for (uint32_t id : {7u, 3u, 5u}) ASSERT_TRUE(list.Append(Person(id)));
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{3, 5, 7}));
    ASSERT_NE(list.Find(5), nullptr);
    EXPECT_EQ(list.Find(5)->personId, 5u);
    EXPECT_EQ(list.Find(4), nullptr);
    EXPECT_EQ(list.FindPosition(7), 2u);

    PersonModel* middle = list.At(1);
    list.Remove(1);
    delete middle;  // removal does not destroy the element
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{3, 7}));

    PersonModel* replacement = Person(7);
    replacement->listNumber = 1;
    delete list.At(1);
    list.Replace(1, replacement);
    EXPECT_EQ(list.Find(7)->listNumber, 1);
}

TEST(SortedPointerList, RemovingTheLastFreesTheArrayAndAppendAllocatesAgain) {
    PersonModelSortedList list;
    ASSERT_TRUE(list.Append(Person(9)));
    PersonModel* only = list.At(0);
    list.Remove(0);
    delete only;
    EXPECT_TRUE(list.Empty());
    EXPECT_FALSE(list.HoldsArray());
    ASSERT_TRUE(list.Append(Person(2)));
    EXPECT_TRUE(list.HoldsArray());
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{2}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.HoldsArray());
}

// Ids more than 2^31 apart would make a signed-difference comparison cyclic (0 < 0x60000000 <
// 0xC0000000 < 0); the list must still be ordered and searchable.
TEST(SortedPointerList, StaysOrderedForIdsFarApart) {
    PersonModelSortedList list;
    for (uint32_t id : {0xC0000000u, 1u, 0x60000000u, 0xFFFFFFFEu, 0x7FFFFFFFu}) ASSERT_TRUE(list.Append(Person(id)));
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{1, 0x60000000, 0x7FFFFFFF, 0xC0000000, 0xFFFFFFFE}));
    for (uint32_t id : {0xC0000000u, 1u, 0x60000000u, 0xFFFFFFFEu, 0x7FFFFFFFu}) EXPECT_NE(list.Find(id), nullptr) << id;
    EXPECT_EQ(list.Find(0x80000000u), nullptr);
}

}  // namespace
}  // namespace recognition
