#pragma once
// Purpose: the person card's save command: the person fields (compared without regard to case)
//          and then every changed property value.
// Threads: the user-interface thread.
// Owns: the card's values.

#include "app/database/person_commands.h"
#include "app/database/property_ops.h"

namespace database {

struct PersonCard {
    int32_t personId = 0;
    PersonFields lastRead;  // as last read or saved
    PersonFields edited;    // as shown in the card
    PropValues values;
};

// DbOpDone when everything is saved (the card then has nothing left to save); DbOpCancel when the
// operator gave up (the browser closes), with what was saved before kept.
DbOpResult SavePersonCard(DbSession& session, PersonCard& card);

}  // namespace database
