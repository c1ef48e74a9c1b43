#pragma once
// A private namespace for the named objects of one test, and the removal of what it left in
// /dev/shm (events and mutexes outlive their processes there).

#include <dirent.h>
#include <grp.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace testsupport {

// The channel objects belong to the group ostrovid, which the setup makes. A test run as root on a
// machine that has not been set up yet makes it itself.
inline void EnsureChannelGroup() {
    if (getgrnam("ostrovid") == nullptr && geteuid() == 0) (void)!std::system("groupadd --system ostrovid");
}

// Sets $OSTROVID_IPC_NAMESPACE to a prefix unique to this process and call, and returns it.
inline std::string UseFreshIpcNamespace(const char* tag) {
    EnsureChannelGroup();
    static int serial = 0;
    const std::string ns = tag + std::to_string(getpid()) + "." + std::to_string(++serial) + ".";
    ::setenv("OSTROVID_IPC_NAMESPACE", ns.c_str(), 1);
    return ns;
}

inline void RemoveIpcObjects(const std::string& ns) {
    DIR* shm = opendir("/dev/shm");
    if (!shm) return;
    while (const dirent* entry = readdir(shm))
        if (std::string(entry->d_name).rfind(ns, 0) == 0) ::unlink(("/dev/shm/" + std::string(entry->d_name)).c_str());
    closedir(shm);
}

}  // namespace testsupport
