#include "app/recognition/face_descriptor.h"
#include "app/recognition/person_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <vector>

namespace recognition {
namespace {

std::unique_ptr<PersonModel> Person(uint32_t id, int32_t listNumber = 0) {
    auto person = std::make_unique<PersonModel>();
    person->personId = id;
    person->listNumber = listNumber;
    return person;
}

template <typename List>
std::vector<uint32_t> Ids(const List& list) {
    std::vector<uint32_t> ids;
    for (const auto& person : list) ids.push_back(person->personId);
    return ids;
}

// Notes the storage sizes the list asks for; refuses every request while failing is set.
template <typename T>
struct TestAllocator {
    using value_type = T;
    static inline std::vector<size_t> requests;
    static inline bool failing = false;

    TestAllocator() = default;
    template <typename U>
    TestAllocator(const TestAllocator<U>&) {}
    T* allocate(size_t n) {
        if (failing) throw std::bad_alloc();
        requests.push_back(n);
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, size_t n) { std::allocator<T>().deallocate(p, n); }
    friend bool operator==(const TestAllocator&, const TestAllocator&) { return true; }
};

TEST(FaceDescriptorStorage, ReadsLittleEndianFloatsInElementOrder) {
    unsigned char bytes[512] = {};
    // 1.0f = 0x3F800000 at element 0, -2.5f = 0xC0200000 at element 127.
    bytes[2] = 0x80;
    bytes[3] = 0x3F;
    bytes[510] = 0x20;
    bytes[511] = 0xC0;
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
    for (uint32_t id : {7u, 3u, 5u}) list.Append(Person(id));
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{3, 5, 7}));
    ASSERT_NE(list.Find(5), nullptr);
    EXPECT_EQ(list.Find(5)->personId, 5u);
    EXPECT_EQ(list.Find(4), nullptr);
    EXPECT_EQ(list.FindPosition(7), 2u);
    EXPECT_FALSE(list.FindPosition(4).has_value());

    // Removal hands the element over instead of destroying it.
    PersonModel* middle = list.At(1);
    const std::unique_ptr<PersonModel> removed = list.Remove(1);
    EXPECT_EQ(removed.get(), middle);
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{3, 7}));

    PersonModel* old = list.At(1);
    EXPECT_EQ(list.Replace(1, Person(7, 1)).get(), old);
    EXPECT_EQ(list.Find(7)->listNumber, 1);

    // A second element of an id already held goes behind it, as a stable re-sort leaves it.
    list.Append(Person(3, 2));
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{3, 3, 7}));
    EXPECT_EQ(list.At(0)->listNumber, 0);
    EXPECT_EQ(list.At(1)->listNumber, 2);
}

TEST(SortedPointerList, GrowsByOneSlotAndAFailedAppendChangesNothing) {
    using Allocator = TestAllocator<std::unique_ptr<PersonModel>>;
    SortedPointerList<PersonModel, Allocator> list;
    Allocator::requests.clear();
    for (uint32_t id : {4u, 2u, 6u}) list.Append(Person(id));
    EXPECT_EQ(Allocator::requests, (std::vector<size_t>{1, 2, 3}));

    PersonModel* first = list.At(0);
    Allocator::failing = true;
    EXPECT_THROW(list.Append(Person(1)), std::bad_alloc);
    Allocator::failing = false;
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{2, 4, 6}));
    EXPECT_EQ(list.At(0), first);
    EXPECT_EQ(list.Find(1), nullptr);

    list.Append(Person(1));
    EXPECT_EQ(Allocator::requests.back(), 4u);
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{1, 2, 4, 6}));
}

TEST(SortedPointerList, RemovingTheLastFreesTheArrayAndAppendAllocatesAgain) {
    PersonModelSortedList list;
    list.Append(Person(9));
    list.Remove(0);
    EXPECT_TRUE(list.Empty());
    EXPECT_FALSE(list.HoldsArray());
    list.Append(Person(2));
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
    for (uint32_t id : {0xC0000000u, 1u, 0x60000000u, 0xFFFFFFFEu, 0x7FFFFFFFu}) list.Append(Person(id));
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{1, 0x60000000, 0x7FFFFFFF, 0xC0000000, 0xFFFFFFFE}));
    for (uint32_t id : {0xC0000000u, 1u, 0x60000000u, 0xFFFFFFFEu, 0x7FFFFFFFu})
        EXPECT_NE(list.Find(id), nullptr) << id;
    EXPECT_EQ(list.Find(0x80000000u), nullptr);
}

}  // namespace
}  // namespace recognition
