#pragma once
// Purpose: tells when the machine's IPv4 address list changes, so that the discovery responder can
//          make its socket anew (a route netlink socket subscribed to the address notifications).
// Threads: the one thread that owns it.
// Owns: the netlink socket.

#include "platform/unique_fd.h"

namespace management {

enum class AddressListState { Unchanged, Changed, Failed };

class AddressWatch {
public:
    AddressWatch();
    AddressWatch(const AddressWatch&) = delete;
    AddressWatch& operator=(const AddressWatch&) = delete;

    // False when the system would not give the netlink socket.
    bool IsValid() const { return socket_.get() >= 0; }
    // Readable when notifications wait.
    int Fd() const { return socket_.get(); }

    // Reads every waiting notification. Failed leaves errno set.
    AddressListState Drain();

private:
    platform::UniqueFd socket_;
};

}  // namespace management
