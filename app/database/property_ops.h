#pragma once
// Purpose: the additional person properties: the names (PROPLIST) with their display order and a
//          person's values (PERSONPROP), each operation with the Retry/Cancel convention.
// Threads: the user-interface thread.
// Owns: nothing.

#include "app/database/db_session.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace database {

// One property name as the editor holds it.
struct PropName {
    int32_t propId = 0;  // 0: added in the editor and not stored yet
    int32_t seqNum = 0;  // display order
    QString name;        // up to 63 characters
};
using PropNames = std::vector<std::unique_ptr<PropName>>;

// One property of the person shown in the card.
struct PropValue {
    int32_t valueId = 0;  // PERSONPROP.ID; 0 when the person has no value row for it
    int32_t propId = 0;
    QString name;
    QString storedValue;   // as last read or saved (up to 255 characters)
    QString editedValue;   // as being edited in the card
    bool changed = false;  // the edited value differs from the stored one and is not saved yet

    // An edit in the card: the value cut to its field, the changed flag set when it differs.
    void Edit(const QString& value);
};
using PropValues = std::vector<std::unique_ptr<PropValue>>;

// Every name in display order, replacing names. Out of memory: "Недостаточно памяти в системе",
// the rows read so far stay.
DbOpResult HandleGetDbPersonAddPropList(DbSession& session, PropNames& names);
DbOpResult HandleInsertDbPersonAddProp(DbSession& session, const PropName& name);
// A name deleted by another station meanwhile is reported, not taken for saved.
DbOpResult HandleUpdateDbPersonAddProp(DbSession& session, const PropName& name);
// The cascade removes every person's value of it.
DbOpResult HandleDeleteDbPersonAddProp(DbSession& session, int32_t propId);

// One value per property name in display order (value id 0 and an empty value where the person
// has none), replacing values; the edited values start equal to the stored ones.
DbOpResult HandleDbPersonAddProps(DbSession& session, int32_t personId, PropValues& values);
// Inserts the edited value; the new row's id becomes the value id.
DbOpResult HandleDbPersonAddPropInsertProp(DbSession& session, int32_t personId, PropValue& value);
DbOpResult HandleDbPersonAddPropUpdateProp(DbSession& session, const PropValue& value);
DbOpResult HandleDbPersonAddPropDeleteProp(DbSession& session, const PropValue& value);

// The values part of saving the card: each changed value in list order is inserted (no value id,
// also when empty), updated (not empty) or deleted (emptied), each retried while asked; after
// success the stored value takes the edited one. DbOpCancel stops at the first give-up.
DbOpResult SavePersonPropValues(DbSession& session, int32_t personId, PropValues& values);

}  // namespace database
