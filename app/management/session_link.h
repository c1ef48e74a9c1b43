#pragma once
// Purpose: what the management server's network side and its XML side know of each other: the
//          packet types, a client's subscription, one session as the document handlers and the
//          event broadcasts see it, and the handlers the receive thread calls.
// Threads: a Session is called from its own receive thread (the handlers) and from the threads
//          that broadcast events (user-interface and capture threads), never after its slot is freed.
// Owns: nothing; the server owns its sessions.

#include <QString>

#include <cstdint>
#include <functional>
#include <span>

namespace management {

enum class PacketType : uint32_t {
    _C2S_TCP_REQUEST = 0x00010001,
    _C2S_TCP_SUBSCRIBE = 0x00010002,
    _S2C_TCP_REPLY = 0x00020001,
    _S2C_TCP_SUBSCRIBE_REPLY = 0x00020002,
    _S2C_TCP_EVENT = 0x00020003,
};

enum class ImageFormat : uint32_t { Jpeg = 0, Png = 1, Bmp = 2 };

// All zero: nothing subscribed.
struct Subscription {
    uint32_t eventMask = 0;
    uint32_t listMask = 0;
    ImageFormat format = ImageFormat::Jpeg;
};

// What happens to a packet when the session's send ring is full. A reply waits (only its own
// session's receive thread is held); an event is dropped for that session, so that no broadcasting
// thread ever waits on a client.
enum class WhenQueueFull { Wait, Drop };

// What a right password does to a session.
enum class LoginResult {
    Station,         // the client is a logged-in station (now or since an earlier document)
    NoStationPlace,  // every station place is taken: the session is to end
};

class Session {
public:
    virtual ~Session() = default;
    // Slot number 0-7, shown in every session log line.
    virtual int Number() const = 0;
    // Dotted IPv4 text and the reverse-lookup host name (empty when the lookup failed).
    virtual QString ClientAddress() const = 0;
    virtual QString ClientHost() const = 0;
    virtual Subscription CurrentSubscription() const = 0;
    virtual void SetSubscription(const Subscription& subscription) = 0;
    // Queues the document text (sent as UTF-16LE followed by a NUL). False when the session is
    // ending, or the ring was full and the packet was dropped.
    virtual bool SendTcpPacket(PacketType type, const QString& documentText, WhenQueueFull whenFull) = 0;
    // The client gave the right password. Until the first call the session counts as a
    // connection that has yet to log in, which the server ends after its login time-out.
    virtual LoginResult LogIn() = 0;
    // Counts a wrong password of this session; returns how many it has had.
    virtual int CountWrongPassword() = 0;
};

// The document side, called by a session's receive thread with the data of one complete packet.
// False ends the session.
class PacketHandler {
public:
    virtual ~PacketHandler() = default;
    virtual bool HandleTcpRequest(Session& session, std::span<const std::byte> data) = 0;
    virtual bool HandleTcpSubscribeToEvents(Session& session, std::span<const std::byte> data) = 0;
};

// The active sessions, walked under the session table lock (slots are neither taken nor freed
// meanwhile). Broadcasts call it from any thread.
class SessionTable {
public:
    virtual ~SessionTable() = default;
    virtual void ForEachActiveSession(const std::function<void(Session&)>& visit) = 0;
};

}  // namespace management
