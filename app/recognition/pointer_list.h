#pragma once
// Owning arrays of heap pointers that grow by exactly one slot per append, and the sorted
// variant keyed by person id that holds the working model set and the synchronizer's lists.
//
// The arrays live in malloc'd memory so that growing can fail without throwing: an append that
// cannot get memory leaves the list as it was and returns false.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace recognition {

// Unsorted list in append order; destroys its elements.
template <typename T>
class PointerArray {
public:
    PointerArray() = default;
    ~PointerArray() { Clear(); }
    PointerArray(const PointerArray&) = delete;
    PointerArray& operator=(const PointerArray&) = delete;
    PointerArray(PointerArray&& other) noexcept { Swap(other); }
    PointerArray& operator=(PointerArray&& other) noexcept {
        if (this != &other) {
            Clear();
            Swap(other);
        }
        return *this;
    }

    uint32_t Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    T* At(uint32_t position) const { return items_[position]; }
    T* const* begin() const { return items_; }
    T* const* end() const { return items_ + count_; }

    // Takes ownership of element on success only.
    bool Append(T* element) {
        auto grown = static_cast<T**>(std::realloc(items_, (size_t{count_} + 1) * sizeof(T*)));
        if (grown == nullptr) return false;
        items_ = grown;
        items_[count_++] = element;
        return true;
    }

    // Shifts the tail down; the element itself is not destroyed. The array is freed when the
    // list becomes empty.
    void Remove(uint32_t position) {
        std::move(items_ + position + 1, items_ + count_, items_ + position);
        if (--count_ == 0) {
            std::free(items_);
            items_ = nullptr;
        }
    }

    // Stores element in place of the old one, which the caller destroys.
    void Replace(uint32_t position, T* element) { items_[position] = element; }

    // Destroys every element and frees the array.
    void Clear() {
        for (uint32_t i = 0; i < count_; ++i) delete items_[i];
        std::free(items_);
        items_ = nullptr;
        count_ = 0;
    }

    // Whether the array is allocated at all (an empty list holds none).
    bool HoldsArray() const { return items_ != nullptr; }

protected:
    T** Items() { return items_; }

private:
    void Swap(PointerArray& other) noexcept {
        std::swap(items_, other.items_);
        std::swap(count_, other.count_);
    }

    T** items_ = nullptr;
    uint32_t count_ = 0;
};

// Orders person ids. Ids are database identities, all within 1..2^31-1, where comparing the
// signed 32-bit difference and comparing the values agree; the values are compared directly so
// that ids further apart than 2^31 still give a consistent order instead of a cycle.
constexpr bool PersonIdLess(uint32_t a, uint32_t b) { return a < b; }

// Kept sorted by T::personId ascending; find is a binary search.
template <typename T>
class SortedPointerList : public PointerArray<T> {
public:
    static constexpr uint32_t kNotFound = UINT32_MAX;

    // Position of the element with this person id, or kNotFound.
    uint32_t FindPosition(uint32_t personId) const {
        auto first = this->begin();
        auto last = this->end();
        auto it = std::lower_bound(first, last, personId, [](const T* element, uint32_t id) {
            return PersonIdLess(element->personId, id);
        });
        if (it == last || (*it)->personId != personId) return kNotFound;
        return static_cast<uint32_t>(it - first);
    }

    T* Find(uint32_t personId) const {
        uint32_t position = FindPosition(personId);
        return position == kNotFound ? nullptr : this->At(position);
    }

    // Grows by one slot, stores the element at the end and re-sorts the whole array.
    bool Append(T* element) {
        if (!PointerArray<T>::Append(element)) return false;
        std::stable_sort(this->Items(), this->Items() + this->Count(), [](const T* a, const T* b) {
            return PersonIdLess(a->personId, b->personId);
        });
        return true;
    }
};

}  // namespace recognition
