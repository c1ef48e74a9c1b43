#pragma once
// The machine's IPv4 TCP connections and their forced reset, through the kernel's socket
// diagnostics (NETLINK_SOCK_DIAG). Resetting needs CAP_NET_ADMIN and a kernel built with
// CONFIG_INET_DIAG_DESTROY; the blocked reader of a reset socket fails with ECONNABORTED.

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace platform {

struct TcpConnectionRow {
    uint8_t state = 0;           // the kernel's TCP state; 1 is established
    uint32_t localAddress = 0;   // network byte order
    uint16_t localPort = 0;      // host byte order
    uint32_t remoteAddress = 0;  // network byte order
    uint16_t remotePort = 0;     // host byte order
    uint32_t inode = 0;          // the socket's inode, 0 for a socket no process holds
    uint32_t uid = 0;            // the user the socket belongs to: whoever created it
    uint32_t interfaceIndex = 0;
    uint32_t cookie[2] = {0, 0};  // the kernel's identity of the socket
};

constexpr uint8_t kTcpStateEstablished = 1;

// Every IPv4 TCP connection that is not listening, in the kernel's order. 0 or an error code
// (platform/syserror.h).
int ListTcpConnections(std::vector<TcpConnectionRow>* rows);

// One process seen through its /proc folder. The folder stays open, so a process that ends and
// whose pid is reused meanwhile is never mistaken for the one asked about: every question about it
// then answers "no" or nothing. Any thread; reading another user's process needs root.
class ProcessView {
public:
    explicit ProcessView(uint32_t pid);
    ~ProcessView();
    ProcessView(const ProcessView&) = delete;
    ProcessView& operator=(const ProcessView&) = delete;

    // Whether the process runs the file at path: the same file (device and inode), whatever name
    // it was started by.
    bool RunsExecutable(const std::string& path) const;
    // Inodes of the sockets that the process holds open; empty when it cannot be inspected.
    std::set<uint32_t> SocketInodes() const;

private:
    int folder_ = -1;
};

// Resets the connection: both ends see it aborted. 0 or an error code.
int ResetTcpConnection(const TcpConnectionRow& row);

}  // namespace platform
