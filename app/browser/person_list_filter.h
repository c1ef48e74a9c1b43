#pragma once
// Purpose: the browser's list filter check boxes ("Зеленый", "Красный", "Серый"): which changes
//          are taken and which are refused.
// Threads: any (a pure function).
// Owns: nothing.

#include "app/database/person_record.h"
#include "settings/groups.h"

namespace browser {

enum class FilterToggle {
    Refused,    // the last ticked box was cleared: it ticks itself again, the list stays
    Unchanged,  // the box already showed that state
    Changed,    // filters changed: the caller saves them and re-reads the list
};

// The check box of `list` was set to ticked (or cleared). Clearing the last ticked box is refused
// and leaves filters alone.
FilterToggle ToggleListFilter(settings::DbWinSettings& filters, database::WatchList list, bool ticked);

// Whether the filter of `list` is on.
bool ListFilterOn(const settings::DbWinSettings& filters, database::WatchList list);

}  // namespace browser
