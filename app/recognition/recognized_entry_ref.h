#pragma once
// Purpose: names one entry of the recognized-persons list for as long as it stays in the list.
//          An entry inserted later at the same address (after this one was removed or fell off
//          the end) is not taken for it.
// Threads: the user-interface thread, as the list.
// Owns: nothing.

#include <cstdint>

namespace recognition {

struct RecognizedListItem;

struct RecognizedEntryRef {
    const RecognizedListItem* item = nullptr;
    uint64_t serial = 0;
};

}  // namespace recognition
