#pragma once
// The program's end of the channel to OstrovidSvc: attaching to the service's shared objects,
// the exchange of one packet, the watchdog that notices the service going away, and the
// request that does not save a settings group. The save operations are in channel_saves.h.

#include "platform/ipc.h"
#include "platform/sync.h"
#include "settings/channel_area.h"
#include "settings/channel_packet.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

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
    size_t clearBytes;      // bytes cleared before the packet is written (0: none)
    QString successText;    // empty: success is not logged
    QString failurePrefix;  // the failure line up to the error text
    std::function<void(channel::ChannelArea&)> writePayload;
};

// How long one exchange waits for the reply of a service that still runs. A healthy service
// answers within milliseconds; its slowest packets (a store rewrite with fsync on a loaded disk,
// a connection reset that walks every process's descriptors) take seconds at worst. Thirty
// seconds leaves a wide margin for those and still frees the waiting thread of a service that
// hangs, so that the program can go on or close in order.
inline constexpr std::chrono::seconds kReplyLimit{30};

class SvcChannel {
public:
    // termEvent is the program's termination event: it ends every wait for a reply. replyLimit
    // bounds the wait for one reply (tests shorten it).
    explicit SvcChannel(platform::Event* termEvent, std::chrono::milliseconds replyLimit = kReplyLimit)
        : termEvent_(termEvent), replyLimit_(replyLimit) {}
    SvcChannel(const SvcChannel&) = delete;
    SvcChannel& operator=(const SvcChannel&) = delete;

    // The channel steps of InitSyncObjects: kAttached, kServiceNotReady (call again later) or
    // kAttachFailed. Objects made by an earlier call are kept.
    int InitSyncObjects();

    // Writes one packet, signals the service and waits for its reply. The wait also ends on the
    // termination event (silently), when the service stops or dies, and after replyLimit (both
    // logged as the operation's wait failure). Exchanges from several threads follow one another.
    // True on success.
    bool Exchange(const ExchangeRequest& request);

    // The service watchdog; runs until the termination event or the service stops.
    void SvcLiveThreadFunc(const MainWindowNotifier& closeMainWindow);

    // Shutdown: closes the area and the objects and releases the program mutex.
    void Close();

private:
    enum class ReplyWait { Reply, Terminated, ServiceGone, TimedOut, Failed };

    int CreateNamedObjects();
    // While waiting for the service: closes the objects whose names have gone.
    void DropObjectsWithoutName();
    // Reads the first count bytes of the area into packet_; a failure is logged as the
    // request's failure. exchangeLock_ held.
    bool ReadArea(size_t count, const ExchangeRequest& request);
    // Exchange's wait for the reply event; exchangeLock_ held.
    ReplyWait WaitForReply();
    bool ServiceAlive();

    platform::Event* termEvent_;
    platform::NamedMutex appMutex_;
    platform::NamedMutex svcMutex_;
    platform::NamedEvent replyEvent_;
    platform::NamedEvent requestEvent_;
    platform::NamedSharedMemory area_;
    // The program's copy of the area, under exchangeLock_.
    std::vector<uint8_t> packet_;
    bool waitingLogged_ = false;
    platform::CriticalSection exchangeLock_;

    std::chrono::milliseconds replyLimit_;
    // A second handle on the service mutex, only ever tested, so that an exchange sees the
    // service go without disturbing the watchdog's wait on the first one. Under exchangeLock_.
    platform::NamedMutex serviceProbe_;
    // The last packet got no reply in time: the service may still be reading it, and its late
    // reply must not be taken for the next packet's. Under exchangeLock_.
    bool replyOutstanding_ = false;
};

// The process-wide channel the operations below use; start-up installs it once attached.
void SetProgramChannel(SvcChannel* channel);
SvcChannel* ProgramChannel();

// One exchange over the process-wide channel; without a channel the operation's wait-failure
// line is logged and the result is false.
bool ExchangeOnProgramChannel(const ExchangeRequest& request);

// Asks the service to reset the established TCP connection this process holds to the camera at
// ipv4NetworkOrder:port (port in host order). The request's bytes go first to the service's close
// socket (within a second), which tells the service that this very process asks; a socket out of
// reach is logged and the packet sent all the same, to be refused. Logs the outcome itself; true
// when the service reset the connection, false on any failure or when the program is closing.
bool SendCloseSocketCommand(uint32_t ipv4NetworkOrder, uint16_t port);

}  // namespace settings
