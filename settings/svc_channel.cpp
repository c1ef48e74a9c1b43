#include "settings/svc_channel.h"

#include "platform/log.h"
#include "platform/named_socket.h"
#include "platform/syserror.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace settings {

using namespace channel;

namespace {

std::atomic<SvcChannel*> g_programChannel{nullptr};

constexpr size_t kFailureTextChars = 512;
// Connecting to the service's close socket and handing it the request's bytes.
constexpr std::chrono::seconds kCloseSocketLimit{1};

// Creates or opens one named object; either way it belongs to the group ostrovid (platform/ipc.h).
template <typename NamedObject>
bool MakeObject(NamedObject& object, const char* name, const char* shownName) {
    if (object.IsOpen()) return true;
    const int error = object.Create(name);
    if (error != platform::kErrorSuccess) {
        WriteLog(QStringLiteral("Error. Can't create %1 object: %2")
                     .arg(QLatin1String(shownName), platform::FormatSystemError(error)));
        return false;
    }
    return true;
}

int TakeAppMutex(platform::NamedMutex& appMutex) {
    // An earlier program that died leaves the mutex abandoned; its ownership passes on all the same.
    const auto result = appMutex.Lock(platform::kInfinite);
    if (result == platform::NamedMutex::LockResult::Acquired || result == platform::NamedMutex::LockResult::Abandoned) {
        return kAttached;
    }
    WriteLog(QStringLiteral("Error. Can't wait for GlobalAppMutex object."));
    return kAttachFailed;
}

QString ReplyFailureText(const ChannelArea& area) {
    switch (area.U32(kFailureKindOffset)) {
    case kFailureUnknownType:
        return QStringLiteral("Unknown input packet in map.");
    case kFailureErrorText:
        return area.Text(kErrorTextOffset, kErrorTextChars).left(kFailureTextChars - 1);
    default:
        return QStringLiteral("Unknown error.");
    }
}

}  // namespace

int SvcChannel::CreateNamedObjects() {
    if (!MakeObject(appMutex_, kAppMutexName, "GlobalAppMutex")) return kAttachFailed;
    if (!MakeObject(svcMutex_, kServiceMutexName, "GlobalSvcMutex")) return kAttachFailed;
    if (!MakeObject(replyEvent_, kReplyEventName, "GlobalSvcReady4AppEvent")) return kAttachFailed;
    if (!MakeObject(requestEvent_, kRequestEventName, "GlobalApp2SvcEvent")) return kAttachFailed;
    return kAttached;
}

int SvcChannel::InitSyncObjects() {
    if (CreateNamedObjects() != kAttached) return kAttachFailed;
    if (area_.IsOpen()) return TakeAppMutex(appMutex_);

    int error = area_.Open(kMapFileName, kAreaSize);
    // The area's file outlives a service that was killed; it counts only while a service
    // holds its mutex, as a mapping exists only while its creator runs.
    if (error == platform::kErrorSuccess && !svcMutex_.HeldElsewhere()) {
        area_.Close(false);
        error = platform::kErrorFileNotFound;
    }
    if (error == platform::kErrorFileNotFound) {
        if (!waitingLogged_) WriteLog(QStringLiteral("OstrovidSvc must be started before. Waiting..."));
        waitingLogged_ = true;
        DropObjectsWithoutName();
        return kServiceNotReady;
    }
    if (error != platform::kErrorSuccess) {
        WriteLog(QStringLiteral("Error. Can't open App2SvcMapFile object: ") + platform::FormatSystemError(error));
        return kAttachFailed;
    }
    // Never mapped: every member may resize the file, and access to a mapping beyond a file cut
    // short raises SIGBUS. The area is read and written through its descriptor into this copy.
    packet_.assign(area_.Size(), 0);
    return TakeAppMutex(appMutex_);
}

void SvcChannel::DropObjectsWithoutName() {
    // A service that stopped cleanly took the names of the objects it made; kept, they would tie
    // this program to it and not to the next service. The next call makes them anew.
    if (appMutex_.IsOpen() && !appMutex_.StillNamed()) appMutex_.Close();
    if (svcMutex_.IsOpen() && !svcMutex_.StillNamed()) svcMutex_.Close();
    if (replyEvent_.IsOpen() && !replyEvent_.StillNamed()) replyEvent_.Close();
    if (requestEvent_.IsOpen() && !requestEvent_.StillNamed()) requestEvent_.Close();
}

bool SvcChannel::Exchange(const ExchangeRequest& request) {
    const QString waitFailure =
        QLatin1String(request.operation) + QStringLiteral("(): Unknown error on WaitForMultipleObjects.");
    if (!area_.IsOpen()) {
        WriteLog(waitFailure);
        return false;
    }
    // The area carries one packet at a time: hold the lock from writing until the reply is read.
    platform::CriticalSectionLock lock(exchangeLock_);
    if (!serviceProbe_.IsOpen()) serviceProbe_.Create(kServiceMutexName);
    if (replyOutstanding_) {
        // Writing now would change a packet the service may still be reading; a service that is
        // that late gets no new packet until its reply has come.
        if (!replyEvent_.Wait(0)) {
            WriteLog(waitFailure);
            return false;
        }
        replyOutstanding_ = false;
    }
    // The bytes the packet does not set keep what the area holds.
    if (!ReadArea(packet_.size(), request)) return false;
    ChannelArea area(packet_.data(), packet_.size());
    area.Clear(0, request.clearBytes);
    area.SetU32(kTypeOffset, static_cast<uint32_t>(request.type));
    area.SetU32(kPayloadSizeOffset, request.payloadSize);
    request.writePayload(area);
    if (const int error = area_.Write(0, packet_.data(), packet_.size()); error != platform::kErrorSuccess) {
        WriteLog(request.failurePrefix + platform::FormatSystemError(error));
        return false;
    }
    requestEvent_.Set();

    const ReplyWait outcome = WaitForReply();
    switch (outcome) {
    case ReplyWait::Reply:
        if (!ReadArea(kReplyClearBytes, request)) return false;
        if (area.U32(kResultOffset) == kResultSuccess) {
            if (!request.successText.isEmpty()) WriteLog(request.successText);
            return true;
        }
        WriteLog(request.failurePrefix + ReplyFailureText(area));
        return false;
    case ReplyWait::Terminated:
        replyOutstanding_ = true;
        return false;
    case ReplyWait::ServiceGone:
        // Nobody will answer; a service started later must not act on this packet.
        requestEvent_.Reset();
        replyEvent_.Reset();
        break;
    case ReplyWait::TimedOut:
    case ReplyWait::Failed:
        replyOutstanding_ = true;
        break;
    }
    WriteLog(waitFailure);
    return false;
}

bool SvcChannel::ReadArea(size_t count, const ExchangeRequest& request) {
    const int error = area_.Read(0, packet_.data(), count);
    if (error == platform::kErrorSuccess) return true;
    WriteLog(request.failurePrefix + platform::FormatSystemError(error));
    // Another member resized the file: give it back its size, so the next exchange can go ahead.
    if (error == platform::kErrorInvalidData) (void)area_.RestoreSize();
    return false;
}

SvcChannel::ReplyWait SvcChannel::WaitForReply() {
    // How often the wait looks whether the service still runs.
    constexpr std::chrono::milliseconds kServiceCheck{100};
    const auto deadline = std::chrono::steady_clock::now() + replyLimit_;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ReplyWait::TimedOut;
        switch (platform::WaitForAny({termEvent_, &replyEvent_}, int(std::min(left, kServiceCheck).count()))) {
        case 0:
            return ReplyWait::Terminated;
        case 1:
            return ReplyWait::Reply;
        case platform::kWaitTimeout:
            break;
        default:
            return ReplyWait::Failed;
        }
        // A reply set just before the service went still counts.
        if (!ServiceAlive()) return replyEvent_.Wait(0) ? ReplyWait::Reply : ReplyWait::ServiceGone;
    }
}

bool SvcChannel::ServiceAlive() {
    // The service holds its mutex for its whole life; released or abandoned, it is gone. Without
    // the probe only the time limit ends the wait.
    return !serviceProbe_.IsOpen() || serviceProbe_.HeldElsewhere();
}

void SvcChannel::SvcLiveThreadFunc(const MainWindowNotifier& closeMainWindow) {
    WriteLog(QStringLiteral("SvcLiveThreadFunc(): Thread started."));
    const int signalled = platform::WaitForAny({termEvent_, &svcMutex_}, platform::kInfinite);
    if (signalled == 0) {
        WriteLog(QStringLiteral("SvcLiveThreadFunc(): TermEvent signaled."));
    } else {
        // A service that died leaves its mutex abandoned; that is no orderly stop.
        if (signalled == 1 && !svcMutex_.WasAbandoned()) {
            WriteLog(QStringLiteral("SvcLiveThreadFunc(): OstrovidSvc is shutdown. Breaking application..."));
        } else {
            WriteLog(QStringLiteral(
                "SvcLiveThreadFunc(): Unknown error on WaitForMultipleObjects. Breaking application..."));
        }
        // Let a service started again take its mutex without waiting for this program to end.
        if (signalled == 1) svcMutex_.Release();
        if (closeMainWindow) closeMainWindow();
    }
    WriteLog(QStringLiteral("SvcLiveThreadFunc(): Thread exit."));
}

void SvcChannel::Close() {
    // Named objects outlive their processes here. Those this program made while no service
    // runs are used by nobody else and go with it; a service that starts later makes them anew.
    if (svcMutex_.IsOpen() && !svcMutex_.HeldElsewhere()) {
        appMutex_.RemoveCreatedName();
        svcMutex_.RemoveCreatedName();
        replyEvent_.RemoveCreatedName();
        requestEvent_.RemoveCreatedName();
    }
    area_.Close(false);
    packet_.clear();
    replyEvent_.Close();
    requestEvent_.Close();
    svcMutex_.Close();
    serviceProbe_.Close();
    appMutex_.Release();
    appMutex_.Close();
}

void SetProgramChannel(SvcChannel* channel) { g_programChannel = channel; }

SvcChannel* ProgramChannel() { return g_programChannel; }

bool ExchangeOnProgramChannel(const ExchangeRequest& request) {
    SvcChannel* channel = ProgramChannel();
    if (!channel) {
        WriteLog(QLatin1String(request.operation) + QStringLiteral("(): Unknown error on WaitForMultipleObjects."));
        return false;
    }
    return channel->Exchange(request);
}

bool SendCloseSocketCommand(uint32_t ipv4NetworkOrder, uint16_t port) {
    // The payload as the packet carries it: pid, the address's bytes as they are (network order),
    // the port and two zero bytes.
    std::array<uint8_t, kPayloadOffset + payload_size::kCloseTcpSocket> head{};
    ChannelArea fields(head.data(), head.size());
    fields.SetU32(close_tcp::kPid, static_cast<uint32_t>(getpid()));
    fields.CopyIn(close_tcp::kAddress, &ipv4NetworkOrder, sizeof ipv4NetworkOrder);
    fields.SetU16(close_tcp::kPort, port);

    // The service takes the packet as this process's own only while this connection, which the
    // kernel names this process on, carries the same bytes; it stays open until the reply.
    const uint8_t* payload = head.data() + kPayloadOffset;
    std::unique_ptr<platform::UniqueFd> vouching;
    if (const int error = platform::SendToNamedSocket(kCloseSocketName, payload, payload_size::kCloseTcpSocket,
                                                      kCloseSocketLimit, &vouching);
        error != platform::kErrorSuccess)
        WriteLog(QStringLiteral("SendCloseSocketCommand(): Can't reach %1: %2")
                     .arg(QString::fromStdString(platform::IpcObjectPath(kCloseSocketName)),
                          platform::FormatSystemError(error)));
    return ExchangeOnProgramChannel({
        "SendCloseSocketCommand",
        PacketType::CloseTcpSocket,
        payload_size::kCloseTcpSocket,
        0,
        QStringLiteral("SendCloseSocketCommand successfully handled."),
        QStringLiteral("Error on handling SendCloseSocketCommand: "),
        [&](ChannelArea& area) { area.CopyIn(close_tcp::kPid, payload, payload_size::kCloseTcpSocket); },
    });
}

}  // namespace settings
