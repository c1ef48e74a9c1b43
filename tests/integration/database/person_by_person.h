#pragma once
// The working model set by the straightforward rule, as a reference for the synchronizer: every
// person with samples, in id order, with its row's fields and STATE and its descriptors read by
// one query per person, in the order the samples were added. The two halves are separate so
// that a test can change the database between reading the persons and reading their samples.

#include "app/database/db_access.h"
#include "app/recognition/person_model.h"

#include <memory>
#include <vector>

namespace dbtest {

// One row of the persons query: the model without descriptors and the row's SAMPLESCOUNT.
struct PersonRow {
    std::unique_ptr<recognition::PersonModel> model;
    int sampleCount = 0;
};

// Every person, read with the synchronizer's persons query.
std::vector<PersonRow> ReadPersonRows(database::DbConnection& connection);
// The models of the persons with samples, each person's descriptors read by its own query now;
// a person whose samples are gone by then (or whose descriptor is no descriptor) is left out.
recognition::PersonModelSortedList LoadPersonByPerson(database::DbConnection& connection,
                                                      std::vector<PersonRow> persons);
// Both halves at once.
recognition::PersonModelSortedList PersonByPersonModels(database::DbConnection& connection);

// Adds a failure for every difference between the sets: ids, fields, STATE, descriptors.
void ExpectSameModels(const recognition::PersonModelSortedList& actual,
                      const recognition::PersonModelSortedList& expected);
void ExpectSameModel(const recognition::PersonModel& actual, const recognition::PersonModel& expected);

// Copies (the working set before a pass, to compare what a pass must keep).
std::unique_ptr<recognition::PersonModel> CopyModel(const recognition::PersonModel& model);
recognition::PersonModelSortedList CopyModels(const recognition::PersonModelSortedList& models);

}  // namespace dbtest
