#pragma once
// Purpose: the statements on PERSONS with their parameter binding and row reading, without any
//          dialog: the browser's operations (person_ops.h) wrap them in their error handling, and
//          tools that run without a window call them directly. Every failure throws DbError.
// Threads: the thread that owns the connection's use (one operation at a time per connection).
// Owns: nothing.

#include "app/database/db_access.h"
#include "app/database/person_name.h"
#include "app/database/person_record.h"
#include "settings/groups.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace database {

using PersonRows = std::vector<std::unique_ptr<PersonRecord>>;

// The browser's list filter: "0", "1", "2" for the lists whose filter is on, in that order, joined
// with ","; all three when none is on (the settings never leave all off).
QString ListFilterText(const settings::DbWinSettings& filters);
// The browser's person list query for that filter.
QString PersonsListStatement(const QString& listFilter);
// The person chooser's query (every person).
QString ChoosePersonListStatement();

// Runs a person list query (asynchronously, awaited by polling) and appends one record per row
// to rows. A row that cannot be read throws; the rows read before it stay in rows.
void ReadPersonRows(DbConnection& connection, const QString& statement, const char* operation, PersonRows& rows);

// Inserts a person with STATE 0 (every text bound as text, empty ones included; the date only when
// set) and returns the new id. Runs in the caller's transaction, if any.
int32_t InsertPersonRow(DbConnection& connection, WatchList list, const PersonFields& fields);
// Deletes the person; the database's cascades remove its photos, samples and property values.
// Throws when no such person exists.
void DeletePersonRow(DbConnection& connection, int32_t personId);
// Moves the person to another list; throws when no such person exists.
void UpdatePersonList(DbConnection& connection, int32_t personId, WatchList list);
// Writes the card's fields (empty optional texts as NULL, the date always); throws when no such
// person exists.
void UpdatePersonFields(DbConnection& connection, int32_t personId, const PersonFields& fields);

// The id of the person with exactly these names (a NULL name matches an empty one), the lowest id
// when several match; none when nobody does.
std::optional<int32_t> FindPersonByName(DbConnection& connection, const PersonName& name);

}  // namespace database
