#pragma once
// Owning lists of heap elements: a person model's descriptors in append order, and the sorted
// variant keyed by person id that holds the working model set and the synchronizer's lists.
// Elements are held by std::unique_ptr, so they keep their addresses while the list changes
// (a match hands out a plain pointer into the working set).
//
// An append grows the storage by exactly one slot: the working set is built once and changed in
// small steps afterwards, so it never keeps spare room. An append that cannot get memory throws
// std::bad_alloc and leaves the list as it was; the caller that reports the failure catches it.
//
// No locks of its own: the owner's rules say who may read and change a list (person_model.h for
// the working set, model_sync.h for the synchronizer's lists).

#include "platform/contract.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace recognition {

// Unsorted list in append order.
template <typename T, typename Allocator = std::allocator<std::unique_ptr<T>>>
class PointerArray {
public:
    using Storage = std::vector<std::unique_ptr<T>, Allocator>;

    uint32_t Count() const { return static_cast<uint32_t>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    T* At(uint32_t position) const {
        OSTROVID_ASSERT(position < Count(), "list position in range");
        return items_[position].get();
    }
    typename Storage::const_iterator begin() const { return items_.begin(); }
    typename Storage::const_iterator end() const { return items_.end(); }

    // Throws std::bad_alloc with the list unchanged (the element is then destroyed).
    void Append(std::unique_ptr<T> element) {
        items_.reserve(items_.size() + 1);
        items_.push_back(std::move(element));
    }

    // Shifts the tail down and hands the element to the caller. The storage is freed when the
    // list becomes empty.
    std::unique_ptr<T> Remove(uint32_t position) {
        OSTROVID_ASSERT(position < Count(), "list position in range");
        std::unique_ptr<T> element = std::move(items_[position]);
        items_.erase(items_.begin() + position);
        if (items_.empty()) Storage().swap(items_);
        return element;
    }

    // Stores element in place of the old one, which is handed to the caller.
    std::unique_ptr<T> Replace(uint32_t position, std::unique_ptr<T> element) {
        OSTROVID_ASSERT(position < Count(), "list position in range");
        items_[position].swap(element);
        return element;
    }

    // Destroys every element and frees the storage.
    void Clear() { Storage().swap(items_); }

    // Every element, leaving the list empty without storage.
    Storage TakeAll() {
        Storage taken;
        taken.swap(items_);
        return taken;
    }

    // Whether storage is allocated at all (an emptied list holds none).
    bool HoldsArray() const { return items_.capacity() != 0; }

protected:
    Storage& Items() { return items_; }

private:
    Storage items_;
};

// Orders person ids. Ids are database identities, all within 1..2^31-1, where comparing the
// signed 32-bit difference and comparing the values agree; the values are compared directly so
// that ids further apart than 2^31 still give a consistent order instead of a cycle.
constexpr bool PersonIdLess(uint32_t a, uint32_t b) { return a < b; }

// Kept sorted by T::personId ascending; find is a binary search. Equal ids keep their append
// order.
template <typename T, typename Allocator = std::allocator<std::unique_ptr<T>>>
class SortedPointerList : private PointerArray<T, Allocator> {
    using Base = PointerArray<T, Allocator>;

public:
    using Base::At;
    using Base::begin;
    using Base::Clear;
    using Base::Count;
    using Base::Empty;
    using Base::end;
    using Base::HoldsArray;
    using Base::Remove;
    using Base::Replace;  // only by an element of the same person id
    using Base::TakeAll;
    using typename Base::Storage;

    // Position of the element with this person id.
    std::optional<uint32_t> FindPosition(uint32_t personId) const {
        auto it = std::lower_bound(begin(), end(), personId, [](const std::unique_ptr<T>& element, uint32_t id) {
            return PersonIdLess(element->personId, id);
        });
        if (it == end() || (*it)->personId != personId) return std::nullopt;
        return static_cast<uint32_t>(it - begin());
    }

    T* Find(uint32_t personId) const {
        const std::optional<uint32_t> position = FindPosition(personId);
        return position ? At(*position) : nullptr;
    }

    // Grows by one slot and moves the element behind every one whose id is not greater: the
    // order a stable re-sort of the whole list would give. Throws std::bad_alloc with the list
    // unchanged.
    void Append(std::unique_ptr<T> element) {
        Base::Append(std::move(element));
        Storage& items = this->Items();
        const auto last = items.end() - 1;
        const auto place = std::upper_bound(items.begin(), last, *last, [](const auto& a, const auto& b) {
            return PersonIdLess(a->personId, b->personId);
        });
        std::rotate(place, last, items.end());
    }
};

}  // namespace recognition
