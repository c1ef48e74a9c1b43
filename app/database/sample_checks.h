#pragma once
// Purpose: the check that guards a person's sample set before a new sample joins it: a
//          duplicate of a stored sample, or a sample unlike the stored ones, is added only when
//          the operator insists.
// Threads: the user-interface thread (it asks the operator).
// Owns: nothing.

#include "app/database/operator_dialogs.h"
#include "app/recognition/face_descriptor.h"

#include <vector>

namespace database {

enum class SampleDecision { Add, Skip, Stop };
enum class DuplicateCheck { Detect, Ignore };

// Farther than this from a stored sample counts as unlike it.
constexpr float kDissimilarDistance = 0.5f;

// With no stored samples: Add. A duplicate (distance exactly 0, with Detect) or any unlike stored
// sample puts the question (Yes/No/Cancel, No first): Yes adds, No skips, Cancel stops.
SampleDecision CheckNewSample(OperatorDialogs& dialogs, const recognition::FaceDescriptor& candidate,
                              const std::vector<recognition::FaceDescriptor>& stored, DuplicateCheck duplicates);

}  // namespace database
