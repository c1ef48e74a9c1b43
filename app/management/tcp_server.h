#pragma once
// Purpose: the management TCP server: the listener with its reopen rules, the admission of client
//          stations, and the table of session slots that the event broadcasts walk. Eight slots are
//          for logged-in stations; a connection holds one of a few more until its client has given
//          the right password or its login time has run out. One address may hold all of them but
//          one, so that however a stranger knocks, a station from elsewhere can still log in.
// Threads: Start and Stop from the thread that owns the server (the main window's); the server
//          thread accepts and frees slots; ForEachActiveSession from any thread.
// Owns: the server thread, the listening socket, the session slots.

#include "app/management/host_lookup.h"
#include "app/management/session_link.h"
#include "app/management/station_admission.h"
#include "app/management/tcp_session.h"
#include "app/shell/journal.h"
#include "platform/sync.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace management {

// Connections that may wait to log in at a time, and how many of them one address may hold.
constexpr int kLoginPlaces = 4;
constexpr int kLoginPlacesPerAddress = kLoginPlaces - 1;
constexpr int kSessionSlots = kStationPlaces + kLoginPlaces;

// The running flag of the status the main window shows (wParam of its message).
enum class TcpServerState : int { Stopped = 0, Running = 1 };

struct TcpServerOptions {
    ReverseLookup reverseLookup = LookupHostName;
    ForwardLookup forwardLookup = LookupAddresses;
    // Longest the server thread waits for a client's host name.
    std::chrono::milliseconds lookupTimeout{2000};
    // Pause before the listener is opened again after it could not be opened.
    std::chrono::milliseconds listenRetryPeriod{10000};
    // A connection whose client has not given the right password by then is closed.
    std::chrono::milliseconds loginTimeout{10000};
    // How long a client may leave sent data unacknowledged (also with its window closed): the
    // keep-alive's own 10 s of idle time and 10 probes at 1 s.
    std::chrono::milliseconds userTimeout{20000};
};

class TcpServer final : public SessionTable, private StationPlaces {
public:
    // Called on the server thread with the running flag and the session count: (Running, 0) at
    // start, (Running, n) whenever the count changes, (Stopped, 0) when the server stops while the
    // program keeps running.
    using StatusReport = std::function<void(TcpServerState state, int sessionCount)>;

    // The handler, the journal and termEvent (hTermEvent) outlive the server.
    TcpServer(PacketHandler& handler, const shell::Journal& journal, platform::Event& termEvent,
              StatusReport statusReport, TcpServerOptions options = {});
    // Stops the server when it still runs.
    ~TcpServer() override;
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Starts the server thread with a copy of the settings; false when the thread could not be
    // made. The server must be stopped.
    bool Start(const TcpServerSettings& settings);
    // Sets the stop event and waits until the server thread and every session have ended.
    void Stop();
    bool IsStarted() const { return thread_.joinable(); }

    // Visits the active slots under the table lock. Broadcasts queue with WhenQueueFull::Drop,
    // so that no visit waits on a client.
    void ForEachActiveSession(const std::function<void(Session&)>& visit) override;

    // Connected sessions, logged in or not.
    int SessionCount() const;

    // Packets slot `number` lost to its full ring since its session opened.
    uint64_t DroppedPackets(int number) const;
    // Bytes waiting in the ring of slot `number`.
    qsizetype QueuedBytes(int number) const;

private:
    enum class SlotUse { Free, LoggingIn, Station };
    struct Slot {
        std::unique_ptr<TcpSession> session;
        SlotUse use = SlotUse::Free;  // under tableLock_
    };

    bool TakeStationPlace(int number) override;

    void ServerThread();
    bool StartListenServer(uint16_t port);
    void CloseListener();
    // Closes the listener while every station place is taken and has it reopened once one is free.
    void UpdateListener();
    void Accept(AcceptConnection acceptFlag);
    // Why a new connection from the address gets no slot; empty when it gets one. Under tableLock_.
    QString RefusalLocked(const QString& address) const;
    void FreeSlot(int number);
    void StopSessions();
    void Report(TcpServerState state, int count);

    const shell::Journal& journal_;
    platform::Event& termEvent_;
    const StatusReport statusReport_;
    const TcpServerOptions options_;

    platform::Event stop_{true, false};  // hTcpServerStopEvent
    platform::Event neverSignalled_{true, false};
    platform::Event stationsChanged_{false, false};  // a session logged in
    HostNameLookup hostNames_;
    TcpServerSettings settings_;  // copied at Start, read by the server thread
    std::thread thread_;

    // Below: the server thread's.
    int listener_ = -1;
    // When the listener is to be opened again; empty while it is open or the table is full.
    std::optional<std::chrono::steady_clock::time_point> listenAt_;
    int sessionCount_ = 0;  // written under tableLock_
    bool full_ = false;     // every station place was taken when last looked

    mutable platform::CriticalSection tableLock_;
    int stationCount_ = 0;  // under tableLock_
    std::array<Slot, kSessionSlots> slots_;
};

}  // namespace management
