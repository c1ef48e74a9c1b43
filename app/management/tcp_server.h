#pragma once
// Purpose: the management TCP server: the listener with its reopen rules, the admission of client
//          stations, and the table of eight session slots that the event broadcasts walk.
// Threads: Start and Stop from the thread that owns the server (the main window's); the server
//          thread accepts and frees slots; ForEachActiveSession from any thread.
// Owns: the server thread, the listening socket, the eight session slots.

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

constexpr int kSessionSlots = 8;

// The running flag of the status the main window shows (wParam of its message).
enum class TcpServerState : int { Stopped = 0, Running = 1 };

// Host name of a dotted IPv4 address, empty when there is none.
using ReverseLookup = std::function<QString(const QString& address)>;

// The system's reverse lookup.
QString LookupHostName(const QString& address);

struct TcpServerOptions {
    ReverseLookup reverseLookup = LookupHostName;
    // Pause before the listener is opened again after it could not be opened.
    std::chrono::milliseconds listenRetryPeriod{10000};
};

class TcpServer final : public SessionTable {
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

    // Packets slot `number` lost to its full ring since its session opened.
    uint64_t DroppedPackets(int number) const;

private:
    struct Slot {
        std::unique_ptr<TcpSession> session;
        bool active = false;  // under tableLock_
    };

    void ServerThread();
    bool StartListenServer(uint16_t port);
    void CloseListener();
    void Accept(AcceptConnection acceptFlag);
    void FreeSlot(int number);
    void StopSessions();
    void Report(TcpServerState state, int count);

    const shell::Journal& journal_;
    platform::Event& termEvent_;
    const StatusReport statusReport_;
    const TcpServerOptions options_;

    platform::Event stop_{true, false};  // hTcpServerStopEvent
    platform::Event neverSignalled_{true, false};
    TcpServerSettings settings_;  // copied at Start, read by the server thread
    std::thread thread_;

    // Below: the server thread's.
    int listener_ = -1;
    // When the listener is to be opened again; empty while it is open or the table is full.
    std::optional<std::chrono::steady_clock::time_point> listenAt_;
    int sessionCount_ = 0;

    mutable platform::CriticalSection tableLock_;
    std::array<Slot, kSessionSlots> slots_;
};

}  // namespace management
