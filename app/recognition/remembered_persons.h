#pragma once
// The persons announced during the last RememberRecognized minutes: a new recognition of one
// of them raises no list entry, journal entry or actions.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace recognition {

class RememberedPersons {
public:
    bool Contains(uint32_t personId) const;
    // Remembers the person from `now`, kept sorted by person id. False when out of memory.
    bool Add(uint32_t personId, double now);
    // Forgets every person remembered at least rememberMinutes ago.
    void Expire(double now, uint32_t rememberMinutes);
    size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        uint32_t personId;
        double time;
    };
    std::vector<Entry> entries_;
};

}  // namespace recognition
