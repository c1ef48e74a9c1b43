#include "app/browser/person_list_filter.h"

#include "app/database/person_commands.h"

namespace browser {

namespace {

int32_t& FilterFlag(settings::DbWinSettings& filters, database::WatchList list) {
    switch (list) {
    case database::WatchList::Green:
        return filters.WhiteList;
    case database::WatchList::Red:
        return filters.BlackList;
    case database::WatchList::Gray:
        break;
    }
    return filters.GrayList;
}

}  // namespace

bool ListFilterOn(const settings::DbWinSettings& filters, database::WatchList list) {
    settings::DbWinSettings copy = filters;
    return FilterFlag(copy, list) != 0;
}

FilterToggle ToggleListFilter(settings::DbWinSettings& filters, database::WatchList list, bool ticked) {
    if (ticked) {
        return database::SwitchOnListFilter(filters, list) ? FilterToggle::Changed : FilterToggle::Unchanged;
    }
    int32_t& flag = FilterFlag(filters, list);
    if (flag == 0) return FilterToggle::Unchanged;
    const int ticks = (filters.WhiteList != 0) + (filters.BlackList != 0) + (filters.GrayList != 0);
    if (ticks <= 1) return FilterToggle::Refused;
    flag = 0;
    return FilterToggle::Changed;
}

}  // namespace browser
