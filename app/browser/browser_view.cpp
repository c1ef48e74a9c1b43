#include "app/browser/browser_view.h"

namespace browser {

database::PersonCard CopyCard(const database::PersonCard& card) {
    database::PersonCard copy;
    copy.personId = card.personId;
    copy.lastRead = card.lastRead;
    copy.edited = card.edited;
    copy.values.reserve(card.values.size());
    for (const auto& value : card.values) copy.values.push_back(std::make_unique<database::PropValue>(*value));
    return copy;
}

}  // namespace browser
