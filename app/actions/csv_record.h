#pragma once
// Purpose: the payload of a queued CSV action: one recognition as the recognition log records it.
// Threads: built on the user-interface thread, read by the action queue thread that writes it.
// Owns: its values; texts are fixed-capacity fields, so a line can never outgrow its limits.

#include "app/recognition/person_fields.h"

#include <cstdint>

namespace actions {

struct CsvRecord {
    double eventTime = 0;  // OLE Automation date, local time
    char16_t cameraName[64] = {};
    uint32_t personId = 0;
    double confidence = 0;  // percent: (1 - distance) x 100
    // List number, names, alias, external key, gender and date of birth (0 when not recorded);
    // the speech text travels along unused.
    recognition::PersonFields person;
};

}  // namespace actions
