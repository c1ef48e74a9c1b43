#include "platform/tcpreset.h"

#include "platform/syserror.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace platform {

namespace {

constexpr uint32_t kAllStatesButListen = 0xFFFu & ~(1u << TCP_LISTEN);

class NetlinkSocket {
public:
    NetlinkSocket() : fd_(socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG)) {}
    ~NetlinkSocket() {
        if (fd_ >= 0) close(fd_);
    }
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

struct DiagRequest {
    nlmsghdr header;
    inet_diag_req_v2 body;
};

DiagRequest MakeRequest(uint16_t type, uint16_t flags) {
    DiagRequest request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | flags);
    request.header.nlmsg_seq = 1;
    request.body.sdiag_family = AF_INET;
    request.body.sdiag_protocol = IPPROTO_TCP;
    return request;
}

int SendRequest(int fd, const DiagRequest& request) {
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd, &request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0) {
        return ErrorCodeFromErrno(errno);
    }
    return kErrorSuccess;
}

TcpConnectionRow RowFromMessage(const inet_diag_msg& message) {
    TcpConnectionRow row;
    row.state = message.idiag_state;
    row.localAddress = message.id.idiag_src[0];
    row.localPort = ntohs(message.id.idiag_sport);
    row.remoteAddress = message.id.idiag_dst[0];
    row.remotePort = ntohs(message.id.idiag_dport);
    row.inode = message.idiag_inode;
    row.uid = message.idiag_uid;
    row.interfaceIndex = message.id.idiag_if;
    row.cookie[0] = message.id.idiag_cookie[0];
    row.cookie[1] = message.id.idiag_cookie[1];
    return row;
}

// Reads netlink replies until the dump is done (or, for an acknowledged request, its error
// message arrives). Rows of a dump are appended when `rows` is given.
int ReadReplies(int fd, std::vector<TcpConnectionRow>* rows) {
    alignas(nlmsghdr) char buffer[16384];
    for (;;) {
        const ssize_t length = recv(fd, buffer, sizeof buffer, 0);
        if (length < 0) {
            if (errno == EINTR) continue;
            return ErrorCodeFromErrno(errno);
        }
        int remaining = static_cast<int>(length);
        for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, remaining);
             header = NLMSG_NEXT(header, remaining)) {
            if (header->nlmsg_type == NLMSG_DONE) return kErrorSuccess;
            if (header->nlmsg_type == NLMSG_ERROR) {
                if (header->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))) return kErrorInvalidParameter;
                const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
                return error->error == 0 ? kErrorSuccess : ErrorCodeFromErrno(-error->error);
            }
            if (rows && header->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
                header->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg))) {
                rows->push_back(RowFromMessage(*static_cast<const inet_diag_msg*>(NLMSG_DATA(header))));
            }
        }
    }
}

}  // namespace

int ListTcpConnections(std::vector<TcpConnectionRow>* rows) {
    rows->clear();
    NetlinkSocket socket;
    if (socket.fd() < 0) return ErrorCodeFromErrno(errno);
    DiagRequest request = MakeRequest(SOCK_DIAG_BY_FAMILY, NLM_F_DUMP);
    request.body.idiag_states = kAllStatesButListen;
    if (const int error = SendRequest(socket.fd(), request); error != kErrorSuccess) return error;
    return ReadReplies(socket.fd(), rows);
}

ProcessView::ProcessView(uint32_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid);
    folder_ = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

ProcessView::~ProcessView() {
    if (folder_ >= 0) close(folder_);
}

bool ProcessView::RunsExecutable(const std::string& path) const {
    struct stat running {
    }, file{};
    if (folder_ < 0 || fstatat(folder_, "exe", &running, 0) != 0 || stat(path.c_str(), &file) != 0) return false;
    return running.st_dev == file.st_dev && running.st_ino == file.st_ino;
}

std::set<uint32_t> ProcessView::SocketInodes() const {
    std::set<uint32_t> inodes;
    const int fds = folder_ < 0 ? -1 : openat(folder_, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fds < 0) return inodes;
    DIR* dir = fdopendir(fds);
    if (!dir) {
        close(fds);
        return inodes;
    }
    while (const dirent* entry = readdir(dir)) {
        char target[64] = {};
        const ssize_t n = readlinkat(fds, entry->d_name, target, sizeof target - 1);
        unsigned long inode = 0;
        if (n > 0 && std::sscanf(target, "socket:[%lu]", &inode) == 1) inodes.insert(static_cast<uint32_t>(inode));
    }
    closedir(dir);
    return inodes;
}

int ResetTcpConnection(const TcpConnectionRow& row) {
    NetlinkSocket socket;
    if (socket.fd() < 0) return ErrorCodeFromErrno(errno);
    DiagRequest request = MakeRequest(SOCK_DESTROY, NLM_F_ACK);
    request.body.idiag_states = 1u << row.state;
    request.body.id.idiag_src[0] = row.localAddress;
    request.body.id.idiag_sport = htons(row.localPort);
    request.body.id.idiag_dst[0] = row.remoteAddress;
    request.body.id.idiag_dport = htons(row.remotePort);
    request.body.id.idiag_if = row.interfaceIndex;
    request.body.id.idiag_cookie[0] = row.cookie[0];
    request.body.id.idiag_cookie[1] = row.cookie[1];
    if (const int error = SendRequest(socket.fd(), request); error != kErrorSuccess) return error;
    return ReadReplies(socket.fd(), nullptr);
}

}  // namespace platform
