#pragma once
// Person lists for the list and search tests.

#include "app/database/person_ops.h"

#include <memory>

namespace browsertest {

struct Person {
    int32_t id;
    QString surname;
    QString forename = {};
    database::WatchList list = database::WatchList::Green;
    int32_t samples = 0;
    database::Gender gender = database::Gender::Male;
};

// The rows in the order given (the database's order), the person selectId selected.
inline database::PersonList MakeList(std::initializer_list<Person> persons, int32_t selectId = 0) {
    database::PersonList list;
    for (const Person& p : persons) {
        auto record = std::make_unique<database::PersonRecord>();
        record->personId = p.id;
        record->list = p.list;
        record->fields.surname = p.surname;
        record->fields.forename = p.forename;
        record->fields.gender = p.gender;
        record->sampleCount = p.samples;
        if (p.id == selectId) list.selected = record.get();
        list.rows.push_back(std::move(record));
    }
    return list;
}

}  // namespace browsertest
