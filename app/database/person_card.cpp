#include "app/database/person_card.h"

namespace database {

DbOpResult SavePersonCard(DbSession& session, PersonCard& card) {
    const DbOpResult result = SavePersonCardFields(session, card.personId, card.edited, card.lastRead);
    if (result != DbOpDone) return result;
    return SavePersonPropValues(session, card.personId, card.values);
}

}  // namespace database
