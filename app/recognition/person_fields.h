#pragma once
// The fields of a person that travel with a recognition: from the worker's result to the
// tracked subject, the recognized-persons list and the actions.

#include <cstdint>

namespace recognition {

struct PersonFields {
    uint32_t listNumber = 0;
    char16_t surname[64] = {};
    char16_t forename[64] = {};
    char16_t secondName[64] = {};
    char16_t alias[16] = {};
    char16_t externalKey[32] = {};
    uint32_t gender = 0;
    double dateOfBirth = 0;
    char16_t speech[256] = {};
    friend bool operator==(const PersonFields&, const PersonFields&) = default;
};

}  // namespace recognition
