#pragma once
// Purpose: the discovery responder: answers a station's discovery datagram with this computer's
//          name and the program version, on the management UDP port.
// Threads: Start and Stop from the thread that owns the responder (the main window's); the
//          responder thread does the rest.
// Owns: the responder thread, its UDP socket and the address-change watch.

#include "platform/sync.h"

#include <netinet/in.h>

#include <QString>

#include <chrono>
#include <cstdint>
#include <thread>

namespace management {

class AddressWatch;

struct UdpResponderOptions {
    // Pause before the next attempt after a socket failure.
    std::chrono::milliseconds retryPeriod{10000};
};

class UdpResponder {
public:
    // computerName: the name the replies carry (at most 15 characters are sent).
    explicit UdpResponder(QString computerName, UdpResponderOptions options = {});
    ~UdpResponder();
    UdpResponder(const UdpResponder&) = delete;
    UdpResponder& operator=(const UdpResponder&) = delete;

    // Starts the responder thread on the port; false when the thread could not be made. The
    // responder must be stopped.
    bool Start(uint16_t udpPort);
    // Sets the stop event and waits for the thread.
    void Stop();
    bool IsStarted() const { return thread_.joinable(); }

private:
    enum class PassEnd { Stopped, Failed, AddressesChanged };

    void ServerThread();
    PassEnd RunPass(AddressWatch& addresses);
    PassEnd ServeSocket(int socket, AddressWatch& addresses);
    void HandleUdpManRequest(int socket);
    void HandleUdpDiscoveryPacket(int socket, const sockaddr_in& sender);

    const QString computerName_;
    const UdpResponderOptions options_;
    platform::Event stop_{true, false};  // hUdpServerStopEvent
    uint16_t port_ = 0;                  // set before the thread starts
    std::thread thread_;
};

}  // namespace management
