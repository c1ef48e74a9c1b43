#include "platform/named_socket.h"

#include "platform/ipc.h"
#include "platform/syserror.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// How long a connecting side waits before it asks again a listener whose backlog is full.
constexpr std::chrono::milliseconds kBacklogRetry{10};

int LastError() { return ErrorCodeFromErrno(errno); }

bool IsChannelSocket(const struct stat& st, gid_t group) {
    return S_ISSOCK(st.st_mode) && st.st_gid == group && (st.st_mode & 07777) == kChannelObjectMode;
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) return false;
    path.copy(address->sun_path, path.size());
    return true;
}

// Puts the socket made at `made` under its name. A socket of the group there is one an earlier
// listener left and is replaced at once; anything else goes first with its warning line.
int MoveIntoPlace(const std::string& made, const std::string& path, gid_t group) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !IsChannelSocket(st, group)) {
        if (const int error = RemoveForeignObject(path); error != kErrorSuccess) return error;
    }
    // rename replaces whatever another process put there meanwhile and never follows a link.
    return rename(made.c_str(), path.c_str()) == 0 ? kErrorSuccess : LastError();
}

int Remaining(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the descriptor to take data; false when the time is up first.
bool WaitWritable(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, Remaining(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

int TimedOut() { return ErrorCodeFromErrno(ETIMEDOUT); }

int Connect(int fd, const sockaddr_un& to, Clock::time_point deadline) {
    for (;;) {
        if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return kErrorSuccess;
        if (errno == EINTR) continue;
        if (errno == EINPROGRESS) {
            if (!WaitWritable(fd, deadline)) return TimedOut();
            int error = 0;
            socklen_t length = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return LastError();
            return error == 0 ? kErrorSuccess : ErrorCodeFromErrno(error);
        }
        // A full backlog is the only refusal that may pass.
        if (errno != EAGAIN) return LastError();
        const int left = Remaining(deadline);
        if (left <= 0) return TimedOut();
        std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(kBacklogRetry, std::chrono::milliseconds(left)));
    }
}

int SendAll(int fd, const void* bytes, size_t count, Clock::time_point deadline) {
    const auto* from = static_cast<const char*>(bytes);
    for (size_t done = 0; done < count;) {
        const ssize_t sent = send(fd, from + done, count - done, MSG_NOSIGNAL);
        if (sent > 0) {
            done += static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno != EAGAIN) return LastError();
        if (!WaitWritable(fd, deadline)) return TimedOut();
    }
    return kErrorSuccess;
}

}  // namespace

NamedListeningSocket::~NamedListeningSocket() { Close(); }

int NamedListeningSocket::Create(const std::string& name, int backlog) {
    Close();
    gid_t group;
    if (const int error = ChannelGroupId(&group); error != kErrorSuccess) return error;
    const std::string path = IpcObjectPath(name);
    // Nobody else can enter this folder, so nobody sees the socket before its group and mode are set.
    std::string folder = path + ".XXXXXX";
    if (!mkdtemp(folder.data())) return LastError();
    const std::string made = folder + "/s";
    sockaddr_un address{};
    int error = kErrorSuccess;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    struct stat node {};
    if (!FillAddress(made, &address))
        error = ErrorCodeFromErrno(ENAMETOOLONG);
    else if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
             lchown(made.c_str(), static_cast<uid_t>(-1), group) != 0 || chmod(made.c_str(), kChannelObjectMode) != 0 ||
             lstat(made.c_str(), &node) != 0 || listen(fd, backlog) != 0)
        error = LastError();
    if (error == kErrorSuccess) error = MoveIntoPlace(made, path, group);
    unlink(made.c_str());
    rmdir(folder.c_str());
    if (error != kErrorSuccess) {
        if (fd >= 0) close(fd);
        return error;
    }
    fd_ = fd;
    path_ = path;
    device_ = node.st_dev;
    inode_ = node.st_ino;
    return kErrorSuccess;
}

void NamedListeningSocket::Close() {
    if (fd_ < 0) return;
    // A name another listener has made anew meanwhile is its own.
    struct stat named {};
    if (lstat(path_.c_str(), &named) == 0 && named.st_dev == device_ && named.st_ino == inode_) unlink(path_.c_str());
    close(fd_);
    fd_ = -1;
}

std::unique_ptr<UniqueFd> NamedListeningSocket::Accept() const {
    for (;;) {
        const int fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) return std::make_unique<UniqueFd>(fd);
        if (errno != EINTR) return nullptr;
    }
}

std::optional<PeerCredentials> PeerCredentialsOf(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials ||
        credentials.pid <= 0)
        return std::nullopt;
    return PeerCredentials{credentials.pid, credentials.uid, credentials.gid};
}

int SendToNamedSocket(const std::string& name, const void* bytes, size_t count, std::chrono::milliseconds limit,
                      std::unique_ptr<UniqueFd>* connection) {
    const Clock::time_point deadline = Clock::now() + limit;
    gid_t group;
    if (const int error = ChannelGroupId(&group); error != kErrorSuccess) return error;
    // Connecting through the node held open, not through the name, so a link put there is never followed.
    const UniqueFd node(open(IpcObjectPath(name).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (node.get() < 0) return errno == ENOENT ? kErrorFileNotFound : LastError();
    struct stat st {};
    if (fstat(node.get(), &st) != 0 || !IsChannelSocket(st, group)) return kErrorFileNotFound;
    sockaddr_un to{};
    char held[32];
    std::snprintf(held, sizeof held, "/proc/self/fd/%d", node.get());
    FillAddress(held, &to);

    auto socket = std::make_unique<UniqueFd>(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket->get() < 0) return LastError();
    if (const int error = Connect(socket->get(), to, deadline); error != kErrorSuccess) return error;
    if (const int error = SendAll(socket->get(), bytes, count, deadline); error != kErrorSuccess) return error;
    *connection = std::move(socket);
    return kErrorSuccess;
}

}  // namespace platform
