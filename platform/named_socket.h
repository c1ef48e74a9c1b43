#pragma once
// A Unix-domain stream socket under a name in /dev/shm beside the other channel objects
// (platform/ipc.h), so that a process can learn from the kernel who connected (SO_PEERCRED)
// instead of trusting what a shared area says.
//
// The listening end belongs to the group ostrovid with mode 0660, so only members can connect.
// Its one listener always makes the name anew: a socket file outlives the process that listened
// on it and cannot be taken over, and anything else the name holds is removed with the warning
// line of platform/ipc.h. The socket is bound in a private folder, given its group and mode there
// and only then renamed into place, so it never appears under its name otherwise. The connecting
// side never follows a link at the name.
// Any thread may call these; one object is used by one thread at a time.

#include "platform/unique_fd.h"

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// Who made a connection, as the kernel recorded it when the connection was made.
struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;  // the effective user then
    gid_t gid = 0;
};

// The listening end. Owns its descriptor and, while open, its name: closing removes the name
// while it still refers to this socket, as a socket nobody listens on is of no use to anyone.
class NamedListeningSocket {
public:
    NamedListeningSocket() = default;
    ~NamedListeningSocket();
    NamedListeningSocket(const NamedListeningSocket&) = delete;
    NamedListeningSocket& operator=(const NamedListeningSocket&) = delete;

    // Makes the socket under the name and listens with the backlog given. An error code
    // (platform/syserror.h).
    int Create(const std::string& name, int backlog);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    // Non-blocking; readable while a connection waits.
    int PollFd() const { return fd_; }
    // A waiting connection, non-blocking and closed on exec; nullptr when none waits.
    std::unique_ptr<UniqueFd> Accept() const;

private:
    int fd_ = -1;
    std::string path_;
    // The node made under the name: the socket's own descriptor does not stat as that file.
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// What the kernel says about the process at the other end of a Unix-domain connection.
std::optional<PeerCredentials> PeerCredentialsOf(int fd);

// Connects to the named socket and writes the bytes, both within limit. A name that holds no
// socket of the group counts as none (kErrorFileNotFound), a socket whose backlog stays full or
// that does not take the bytes in time as a time-out. On success *connection holds the
// connection, open until the caller drops it.
int SendToNamedSocket(const std::string& name, const void* bytes, size_t count, std::chrono::milliseconds limit,
                      std::unique_ptr<UniqueFd>* connection);

}  // namespace platform
