#pragma once
// Purpose: the person operations of the database browser and of the person chooser, each with
//          its error handling: the list queries and the card update follow the Retry/Cancel
//          convention (DbOpResult); the commands new, delete and change list show their error once
//          and are not retried. The commands write their journal lines (database tab).
// Threads: the user-interface thread.
// Owns: nothing.

#include "app/database/db_session.h"
#include "app/database/person_statements.h"

#include <cstdint>
#include <optional>

namespace database {

// The rows of a person list and the one selected after reading it (null when the requested
// person is not among them).
struct PersonList {
    PersonRows rows;
    const PersonRecord* selected = nullptr;
};

// The browser's list with the lists whose filter is on; the row of selectPersonId becomes the
// selected one. Out of memory: "Недостаточно памяти в системе", the rows read so far stay.
DbOpResult HandleGetDbPersonsList(DbSession& session, const settings::DbWinSettings& filters, int32_t selectPersonId,
                                  PersonList& list);
// The person chooser's list: every person.
DbOpResult HandleGetDbChoosePersonList(DbSession& session, int32_t selectPersonId, PersonList& list);

// Inserts a person from the browser and journals "Создана новая персона"; the new id, none
// after a failure (shown; nothing is left written).
std::optional<int32_t> HandleNewPersonCmd(DbSession& session, WatchList list, const PersonFields& fields);
// The same from the person chooser, without a journal line.
std::optional<int32_t> HandleChooseDbDestNewPersonCmd(DbSession& session, WatchList list, const PersonFields& fields);
// Deletes the person (cascading to its photos, samples and property values) and journals
// "Удалена персона"; false after a failure (shown), also when the person was already gone.
bool HandleDeletePersonCmd(DbSession& session, const PersonRecord& person);
// Moves the person to newList and journals "Изменен список для персоны" with the old and new
// list names; false after a failure (shown).
bool ChangeListForPerson(DbSession& session, const PersonRecord& person, WatchList newList);
// Writes the person card's fields.
DbOpResult HandleUpdateDbPersonMetrics(DbSession& session, int32_t personId, const PersonFields& fields);

// Journal descriptions: "%s %s %s" and "%s %s %s: %s -> %s".
QString PersonJournalText(const PersonName& name);
QString ListChangeJournalText(const PersonName& name, WatchList from, WatchList to);

}  // namespace database
