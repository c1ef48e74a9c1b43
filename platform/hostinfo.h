#pragma once
// Facts about this machine.

#include <QString>

namespace platform {

// The host name's first label, cut to 15 characters (as GetComputerNameW with 16).
QString ComputerName();

// A new GUID as braced upper-case text: "{0F8FAD5B-D9CB-469F-A165-70867728950E}".
QString NewGuidText();

struct OsVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
};
// The kernel release from uname, "6.1.0" -> {6, 1, 0}.
OsVersion KernelVersion();

}  // namespace platform
