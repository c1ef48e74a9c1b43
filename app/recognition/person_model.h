#pragma once
// The working model set: one PersonModel per enrolled person with at least one sample.
//
// Readers (the prediction workers) take no lock. The set, and every model in it, may change only
// while PredictDispatchLock is held and after WaitPredictThreadIddle has returned true
// (predict_pool.h): then no worker is matching and none can be given work.

#include "app/recognition/face_descriptor.h"
#include "app/recognition/pointer_list.h"

#include <cstdint>

namespace recognition {

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

using PersonModelSortedList = SortedPointerList<PersonModel>;

// The process-wide working model set; empty at start, cleared at program end.
extern PersonModelSortedList PersonModelList;

}  // namespace recognition
