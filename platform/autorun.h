#pragma once
// The entry that starts the program at logon: an XDG autostart file "Ostrovid.desktop" whose
// Exec= line holds the program path. It stands in for the Run value "Ostrovid".

#include <QString>

namespace platform {

// The entry file: AutostartFolder() + "/Ostrovid.desktop".
QString AutorunEntryPath();

// Reads the program path the entry starts. 0, 2 when there is no entry, or the read error.
int QueryAutorun(QString* programPath);
// Writes the entry for the program path. 0 or the write error.
int SetAutorun(const QString& programPath);
// Deletes the entry; 2 when it does not exist, like deleting a missing registry value.
int DeleteAutorun();

}  // namespace platform
