#pragma once
// Purpose: one of the TCP server's eight session slots: the client's socket, its subscription, its
//          outgoing ring and the three threads that serve it (session, receive, send).
// Threads: Open, Ended and Release come from the server thread; the Session calls from the slot's
//          own receive thread and from broadcasting threads while the slot is active.
// Owns: the client socket while the session runs, the session thread (the session thread owns the
//       receive and send threads), the queued packets.

#include "app/management/packet_framing.h"
#include "app/management/send_ring.h"
#include "app/management/session_link.h"
#include "app/shell/journal.h"
#include "platform/sync.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

namespace management {

// Stations that may be logged in at a time.
constexpr int kStationPlaces = 8;

// The server's count of logged-in stations, called from the sessions' receive threads.
class StationPlaces {
public:
    virtual ~StationPlaces() = default;
    // Makes slot `number` a logged-in station; false when every station place is taken.
    virtual bool TakeStationPlace(int number) = 0;
};

// What every slot shares with the server.
struct SessionServices {
    PacketHandler& handler;
    const shell::Journal& journal;
    platform::Event& serverStop;  // hTcpServerStopEvent: ends every session
    StationPlaces& places;
    // A session whose client has not logged in by then is ended.
    std::chrono::milliseconds loginTimeout;
    // TCP_USER_TIMEOUT: how long sent data may stay unacknowledged, or unsent for a closed
    // window, before the system ends the connection.
    std::chrono::milliseconds userTimeout;
};

class TcpSession final : public Session {
public:
    TcpSession(int number, const SessionServices& services);
    // The server has released the slot (the threads have ended) before it goes.
    ~TcpSession() override;
    TcpSession(const TcpSession&) = delete;
    TcpSession& operator=(const TcpSession&) = delete;

    int Number() const override { return number_; }
    QString ClientAddress() const override { return address_; }
    QString ClientHost() const override { return host_; }
    Subscription CurrentSubscription() const override;
    void SetSubscription(const Subscription& subscription) override;
    // Wait is honoured only on this session's own receive thread (a reply); any other thread's
    // packet is dropped when the ring is full, so that no client can hold a producer.
    bool SendTcpPacket(PacketType type, const QString& documentText, WhenQueueFull whenFull) override;
    // From the session's receive thread.
    LoginResult LogIn() override;
    int CountWrongPassword() override;

    // Takes over the accepted socket and starts the session thread; false (socket closed) when the
    // thread could not be made.
    bool Open(int socket, const QString& address, const QString& host);
    // Set when the session thread has finished (manual reset).
    platform::Event& Ended() { return ended_; }
    // Joins the finished session thread, so that the slot can be opened again.
    void Release();
    // Packets this session lost to its full ring since it opened.
    uint64_t DroppedPackets() const { return ring_.DroppedPackets(); }
    // Bytes waiting in the ring to be sent.
    qsizetype QueuedBytes() const { return ring_.QueuedBytes(); }

private:
    void SessionThread();
    // Returns when the server stops, the connection ends, or the client has not logged in in time.
    void WaitWhileRunning();
    void ReceiveThread();
    // Handles the complete packets received so far; false ends the session.
    bool HandlePackets(PacketReader& reader);
    bool HandlePacket(uint32_t type, std::span<const std::byte> data);
    void SendThread();
    bool SendPacket(const QByteArray& packet);
    void ApplySocketOptions();

    const int number_;
    const SessionServices services_;
    int socket_ = -1;
    QString address_;
    QString host_;

    mutable std::mutex stateLock_;
    Subscription subscription_;  // under stateLock_

    std::atomic<bool> loggedIn_{false};
    std::atomic<int> wrongPasswords_{0};

    SendRing ring_;
    platform::Event closing_{true, false};
    platform::Event peerClosed_{true, false};  // the client closed or reset the connection
    platform::Event receiveEnded_{true, false};
    platform::Event sendEnded_{true, false};
    platform::Event ended_{true, false};
    platform::Event loggedInEvent_{true, false};
    std::atomic<std::thread::id> receiveThreadId_;

    std::thread sessionThread_;
    std::thread receiveThread_;
    std::thread sendThread_;
};

}  // namespace management
