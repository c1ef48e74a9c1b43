#include "app/recognition/remembered_persons.h"

#include <algorithm>
#include <new>

namespace recognition {

namespace {
constexpr double kMinutesPerDay = 1440.0;
}

bool RememberedPersons::Contains(uint32_t personId) const {
    return std::binary_search(entries_.begin(), entries_.end(), Entry{personId, 0},
                              [](const Entry& a, const Entry& b) { return a.personId < b.personId; });
}

bool RememberedPersons::Add(uint32_t personId, double now) {
    auto at = std::upper_bound(entries_.begin(), entries_.end(), personId,
                               [](uint32_t id, const Entry& e) { return id < e.personId; });
    try {
        entries_.insert(at, Entry{personId, now});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void RememberedPersons::Expire(double now, uint32_t rememberMinutes) {
    const double span = rememberMinutes / kMinutesPerDay;
    std::erase_if(entries_, [&](const Entry& e) { return now >= e.time + span; });
}

}  // namespace recognition
