#pragma once
// The one program the service acts for. Packets come from a less trusted process, so the autostart
// entry may name only this file and connections are reset only for its processes.
//
// It is the file "Ostrovid" beside the service's own executable. $OSTROVID_PROGRAM_PATH names
// another file instead: the service runs as root, whose environment is trusted, and tests whose own
// process plays the program name themselves there. Any thread may call these.

#include "platform/tcpreset.h"

#include <QString>

namespace service {

QString TrustedProgramPath();

// kErrorSuccess when path is, character for character, the trusted program's path and the name
// itself (no link followed) is a regular file owned by root that neither its group nor others may
// write, in a folder of root's that neither may write either; otherwise kErrorAccessDenied, with
// the reason logged under the caller's name.
int CheckTrustedProgramFile(const QString& path, const char* caller);

// Whether the process runs the trusted program's file.
bool RunsTrustedProgram(const platform::ProcessView& process);

}  // namespace service
