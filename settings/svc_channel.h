#pragma once
// The program's end of the channel to OstrovidSvc: attaching to the service's shared objects,
// the exchange of one packet, the watchdog that notices the service going away, and the
// request that does not save a settings group. The save operations are in channel_saves.h.

#include "platform/ipc.h"
#include "platform/sync.h"
#include "settings/channel_area.h"
#include "settings/channel_packet.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace settings {

// Asks the main window to close itself (the window message WM_USER+203).
using MainWindowNotifier = std::function<void()>;

// Results of the channel steps of InitSyncObjects.
constexpr int kAttachFailed = 0;
constexpr int kAttached = 1;
constexpr int kServiceNotReady = 2;

// What one exchange sends and how its outcome is logged.
struct ExchangeRequest {
    const char* operation;  // the operation's name, for the wait-failure line
    channel::PacketType type;
    uint32_t payloadSize;
    size_t clearBytes;       // bytes cleared before the packet is written (0: none)
    QString successText;     // empty: success is not logged
    QString failurePrefix;   // the failure line up to the error text
    std::function<void(channel::ChannelArea&)> writePayload;
};

class SvcChannel {
public:
    // termEvent is the program's termination event: it ends every wait for a reply.
    explicit SvcChannel(platform::Event* termEvent) : termEvent_(termEvent) {}
    SvcChannel(const SvcChannel&) = delete;
    SvcChannel& operator=(const SvcChannel&) = delete;

    // The channel steps of InitSyncObjects: kAttached, kServiceNotReady (call again later) or
    // kAttachFailed. Objects made by an earlier call are kept.
    int InitSyncObjects();

    // Writes one packet, signals the service and waits for its reply (or the termination
    // event). Exchanges from several threads follow one another. True on success.
    bool Exchange(const ExchangeRequest& request);

    // The service watchdog; runs until the termination event or the service stops.
    void SvcLiveThreadFunc(const MainWindowNotifier& closeMainWindow);

    // Shutdown: unmaps the area, closes the objects and releases the program mutex.
    void Close();

private:
    int CreateNamedObjects();

    platform::Event* termEvent_;
    platform::NamedMutex appMutex_;
    platform::NamedMutex svcMutex_;
    platform::NamedEvent replyEvent_;
    platform::NamedEvent requestEvent_;
    platform::NamedSharedMemory area_;
    bool waitingLogged_ = false;
    platform::CriticalSection exchangeLock_;
};

// The process-wide channel the operations below use; start-up installs it once attached.
void SetProgramChannel(SvcChannel* channel);
SvcChannel* ProgramChannel();

// One exchange over the process-wide channel; without a channel the operation's wait-failure
// line is logged and the result is false.
bool ExchangeOnProgramChannel(const ExchangeRequest& request);

// Asks the service to reset the established TCP connection this process holds to the camera at
// ipv4NetworkOrder:port (port in host order). Logs the outcome itself; true when the service
// reset the connection, false on any failure or when the program is closing.
bool SendCloseSocketCommand(uint32_t ipv4NetworkOrder, uint16_t port);

}  // namespace settings
