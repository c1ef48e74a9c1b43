#pragma once
// Folders the program and the service work in. Each has an environment override so that tests
// can run unprivileged and side by side; production uses the defaults.

#include <QString>

namespace platform {

// Directory of /proc/self/exe, without a trailing '/'.
QString ProgramFolder();
// Full path of the running executable, as the autostart entry records it.
QString ProgramFilePath();
// Makes the program folder the current directory, so relative model paths resolve against it.
bool EnterProgramFolder();

// $TMPDIR or /tmp, always with a trailing '/'.
QString TempFolder();

// COMMON_APPDATA: $OSTROVID_COMMON_APPDATA or /var/lib, without a trailing '/'.
QString CommonAppDataFolder();
// The program data folder: COMMON_APPDATA + "/Vektra/Ostrovid".
QString ProgramDataFolder();

// The settings store file: $OSTROVID_REGISTRY or /var/lib/ostrovid/registry.reg.
QString RegistryFilePath();
// Folder of the autostart entry: $OSTROVID_AUTOSTART_DIR or /etc/xdg/autostart.
QString AutostartFolder();

}  // namespace platform
