#pragma once
// Who stands behind a close request. Every member of the group may write the channel area, so
// the pid a CloseTcpSocket packet names proves nothing by itself. A program that asks first
// connects to the service's named socket (platform/named_socket.h) and writes the packet's 12
// payload bytes; the kernel tells who connected. A packet counts as a process's own only when a
// connection made by that pid carried the same bytes.
//
// Strangers may connect too, so everything is bounded: a small backlog, at most kHeldPerUser
// connections of one user and kHeldInAll in all (the oldest goes first), kReadLimit for the bytes
// to arrive, and a connection that sends more than its bytes or hangs up is closed.
// Owns the listening socket, the connections it holds and the thread that accepts and reads them.
// Take is for the channel thread. Destroying it stops the thread; the socket's name goes with it.

#include "platform/named_socket.h"
#include "platform/sync.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace service {

class CloseRequesters {
public:
    // The packet's bytes from offset 8: pid, address, port and two zero bytes.
    using Payload = std::array<uint8_t, 12>;

    // How long a packet waits for its requester's connection.
    static constexpr std::chrono::milliseconds kRequesterWait{1000};
    static constexpr std::chrono::milliseconds kReadLimit{1000};
    static constexpr int kBacklog = 8;
    static constexpr size_t kHeldPerUser = 2;
    static constexpr size_t kHeldInAll = 16;

    // Starts serving the socket, which listens already. Throws std::system_error when the thread
    // cannot be started.
    explicit CloseRequesters(std::unique_ptr<platform::NamedListeningSocket> socket);
    ~CloseRequesters();
    CloseRequesters(const CloseRequesters&) = delete;
    CloseRequesters& operator=(const CloseRequesters&) = delete;

    // Who made the connection of process pid that carried exactly these bytes, waiting up to
    // `wait` for it; nothing when none came. The connection is used up by this.
    std::optional<platform::PeerCredentials> Take(uint32_t pid, const Payload& payload,
                                                  std::chrono::milliseconds wait = kRequesterWait);

private:
    enum class HeldState { Reading, Ready, Done };
    struct Held {
        std::unique_ptr<platform::UniqueFd> connection;
        platform::PeerCredentials peer;
        Payload bytes{};
        size_t received = 0;
        std::chrono::steady_clock::time_point readBy;
        HeldState state = HeldState::Reading;
    };

    void Serve();
    // The following run on the thread with mutex_ held.
    std::chrono::steady_clock::time_point DropDone(std::chrono::steady_clock::time_point now);
    bool ReadFrom(Held& held);
    size_t AcceptWaiting(std::chrono::steady_clock::time_point now);
    void MakeRoomFor(uid_t user);

    std::unique_ptr<platform::NamedListeningSocket> socket_;
    platform::Event stop_{true, false};
    // Set by Take: a connection used up is to be closed.
    platform::Event wake_{false, false};
    std::mutex mutex_;
    std::condition_variable ready_;
    // Oldest first. Only the thread adds and removes; Take only marks one Done.
    std::vector<Held> held_;
    std::thread thread_;
};

}  // namespace service
