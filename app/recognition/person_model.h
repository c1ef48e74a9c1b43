#pragma once
// The working model set: one PersonModel per enrolled person with at least one sample.
//
// Readers (the prediction workers) take no lock. The set, and every model in it, may change only
// while PredictDispatchLock is held and after WaitPredictThreadIddle has returned true
// (predict_pool.h): then no worker is matching and none can be given work.

#include "app/recognition/face_descriptor.h"
#include "app/recognition/pointer_list.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace recognition {

class SamplePack;
class ScanHelper;

struct PersonModel {
    uint32_t personId = 0;
    int32_t listNumber = 0;  // 0 green, 1 red, 2 gray
    char16_t surname[64] = {};
    char16_t forename[64] = {};
    char16_t secondName[64] = {};
    char16_t alias[16] = {};
    char16_t externalKey[32] = {};
    int32_t gender = 0;      // 0 female, 1 male
    double dateOfBirth = 0;  // OLE Automation date, 0 when unknown
    char16_t speech[256] = {};
    int32_t state = 0;  // STATE of the person's row when the descriptors were loaded
    // One per sample row, in the order read; never empty in the working set.
    PointerArray<FaceDescriptor> descriptors;
};

// Person models sorted by id, with the SamplePack that speeds up matching against them.
//
// Any change of the list drops the pack, so a match never reads a stale one; the thread that
// changes the set makes a new one with RebuildPack, then matching scans it again (without a pack
// it scans the list itself, with the same result). A model's samples are never changed in place:
// the model is replaced.
// Threads: as the owner's rules say for the list (see above for the working set); Pack and Helper
//   are read without locks by the matching threads.
// Owns: the models, the pack and, once the set is large, the helper thread of its matches.
class PersonModelSet {
public:
    using List = SortedPointerList<PersonModel>;
    using Storage = List::Storage;

    PersonModelSet();
    ~PersonModelSet();
    PersonModelSet(PersonModelSet&&) noexcept;
    PersonModelSet& operator=(PersonModelSet&&) noexcept;

    uint32_t Count() const { return list_.Count(); }
    bool Empty() const { return list_.Empty(); }
    bool HoldsArray() const { return list_.HoldsArray(); }
    PersonModel* At(uint32_t position) const { return list_.At(position); }
    Storage::const_iterator begin() const { return list_.begin(); }
    Storage::const_iterator end() const { return list_.end(); }
    std::optional<uint32_t> FindPosition(uint32_t personId) const { return list_.FindPosition(personId); }
    PersonModel* Find(uint32_t personId) const { return list_.Find(personId); }

    // Changes, as in SortedPointerList; each drops the pack.
    void Append(std::unique_ptr<PersonModel> model);
    std::unique_ptr<PersonModel> Remove(uint32_t position);
    std::unique_ptr<PersonModel> Replace(uint32_t position, std::unique_ptr<PersonModel> model);
    void Clear();
    Storage TakeAll();

    // Packs the current samples; a large set also gets its helper thread here. False, with no
    // pack, when memory ran out: matching then scans the list. Only by a thread that may change
    // the set.
    bool RebuildPack();
    const SamplePack* Pack() const { return pack_.get(); }
    ScanHelper* Helper() const { return helper_.get(); }

private:
    List list_;
    std::unique_ptr<SamplePack> pack_;
    std::unique_ptr<ScanHelper> helper_;
};

using PersonModelSortedList = PersonModelSet;

}  // namespace recognition
