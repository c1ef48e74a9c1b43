#include "app/management/address_watch.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <unistd.h>

#include <cerrno>

namespace management {

namespace {

int OpenRouteSocket() {
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) return -1;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_IFADDR;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

}  // namespace

AddressWatch::AddressWatch() : socket_(OpenRouteSocket()) {}

AddressListState AddressWatch::Drain() {
    // Only the group's messages arrive here, and each one reports an added or removed address; a
    // lost message (the queue overran) means a change too.
    AddressListState state = AddressListState::Unchanged;
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        const ssize_t n = recv(socket_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            state = AddressListState::Changed;
            continue;
        }
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) return state;
        if (errno == EINTR) continue;
        if (errno == ENOBUFS) {
            state = AddressListState::Changed;
            continue;
        }
        return AddressListState::Failed;
    }
}

}  // namespace management
