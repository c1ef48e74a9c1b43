#pragma once
// Purpose: deleting samples of the browser's current person after the operator agreed; each
//          deletion is its own transaction with the person's STATE.
// Threads: the user-interface thread.
// Owns: nothing.

#include "app/database/db_session.h"
#include "app/database/person_name.h"

#include <cstdint>
#include <vector>

namespace database {

// Which samples of the panel the command is about: the current one, or the selected ones.
enum class SampleChoice { Current, Selected };

struct RemovalOutcome {
    FlowResult result = FlowResult::Abandoned;
    std::vector<int32_t> deletedSampleIds;  // in the order deleted; they leave the panel
};

RemovalOutcome DeleteSamples(const DbSession& context, int32_t personId, const PersonName& person,
                             const std::vector<int32_t>& sampleIds, SampleChoice choice);

}  // namespace database
