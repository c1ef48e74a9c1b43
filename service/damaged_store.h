#pragma once
// A settings store that does not load whole is kept aside for the administrator and never
// rewritten from the part that loaded. Called by the channel thread and at start-up, never by two
// threads at once.

#include <QString>

namespace service {

// Copies the store file as it is now to "<store>.damaged-YYYYMMDDThhmmss" in its folder (mode
// 0640, group "ostrovid"), unless a copy with the same contents is already there, and logs what
// it did; damagedLine is where reading stopped.
void KeepDamagedStoreAside(const QString& storePath, int damagedLine);

}  // namespace service
