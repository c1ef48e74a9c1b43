#pragma once
// Purpose: the input of the actions of a recognized-person event: person id, the person's fields
//          (list, names, alias, external key, gender, date of birth, own speech text), the match
//          distance and the subject's best face chip. The recognition events fill it; the record
//          itself belongs with them, since recognition cannot see this library.
// Threads: built and consumed on the user-interface thread.
// Owns: nothing; the picture is the caller's and lives only for the duration of the call.

#include "app/recognition/recognition_events.h"

namespace actions {

using RecognizedPersonInfo = recognition::RecognizedPersonInfo;

}  // namespace actions
