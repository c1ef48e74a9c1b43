#include "app/management/tcp_server.h"

#include "platform/contract.h"
#include "platform/log.h"
#include "platform/net.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace management {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kListenBacklog = 1;
constexpr qsizetype kMaxHostNameChars = 255;

QString ErrnoText() { return platform::SocketErrorText(errno); }

}  // namespace

TcpServer::TcpServer(PacketHandler& handler, const shell::Journal& journal, platform::Event& termEvent,
                     StatusReport statusReport, TcpServerOptions options)
    : journal_(journal),
      termEvent_(termEvent),
      statusReport_(std::move(statusReport)),
      options_(std::move(options)),
      hostNames_(options_.reverseLookup, options_.forwardLookup, options_.lookupTimeout) {
    const SessionServices services{handler, journal, stop_, *this, options_.loginTimeout, options_.userTimeout};
    for (int i = 0; i < kSessionSlots; ++i) slots_[i].session = std::make_unique<TcpSession>(i, services);
}

TcpServer::~TcpServer() { Stop(); }

bool TcpServer::Start(const TcpServerSettings& settings) {
    OSTROVID_ASSERT(!thread_.joinable(), "the server is started only when it is stopped");
    settings_ = settings;
    stop_.Reset();
    try {
        thread_ = platform::StartNamedThread("TcpServerThreadFunc", [this] { ServerThread(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TcpServer::Stop() {
    if (!thread_.joinable()) return;
    stop_.Set();
    thread_.join();
}

void TcpServer::ForEachActiveSession(const std::function<void(Session&)>& visit) {
    platform::CriticalSectionLock lock(tableLock_);
    for (Slot& slot : slots_) {
        if (slot.use != SlotUse::Free) visit(*slot.session);
    }
}

int TcpServer::SessionCount() const {
    platform::CriticalSectionLock lock(tableLock_);
    return sessionCount_;
}

bool TcpServer::TakeStationPlace(int number) {
    {
        platform::CriticalSectionLock lock(tableLock_);
        Slot& slot = slots_.at(size_t(number));
        if (slot.use == SlotUse::Station) return true;
        if (slot.use != SlotUse::LoggingIn || stationCount_ >= kStationPlaces) return false;
        slot.use = SlotUse::Station;
        ++stationCount_;
    }
    stationsChanged_.Set();
    return true;
}

uint64_t TcpServer::DroppedPackets(int number) const { return slots_.at(size_t(number)).session->DroppedPackets(); }

qsizetype TcpServer::QueuedBytes(int number) const { return slots_.at(size_t(number)).session->QueuedBytes(); }

void TcpServer::Report(TcpServerState state, int count) {
    if (statusReport_) statusReport_(state, count);
}

void TcpServer::ServerThread() {
    WriteLog(QStringLiteral("TcpServerThreadFunc started."));
    const AcceptConnection acceptFlag = EffectiveAcceptFlag(settings_);
    {
        platform::CriticalSectionLock lock(tableLock_);
        sessionCount_ = 0;
        stationCount_ = 0;
    }
    Report(TcpServerState::Running, 0);
    full_ = false;
    listenAt_ = Clock::now();
    stationsChanged_.Reset();

    for (;;) {
        UpdateListener();
        platform::ReadableFd listenerReadable(listener_);
        std::vector<platform::Waitable*> objects{&stop_, &stationsChanged_};
        objects.push_back(listener_ >= 0 ? static_cast<platform::Waitable*>(&listenerReadable) : &neverSignalled_);
        constexpr int kFirstSession = 3;
        std::vector<int> slotOfObject;
        {
            platform::CriticalSectionLock lock(tableLock_);
            for (int i = 0; i < kSessionSlots; ++i) {
                if (slots_[i].use == SlotUse::Free) continue;
                objects.push_back(&slots_[i].session->Ended());
                slotOfObject.push_back(i);
            }
        }
        int timeoutMs = platform::kInfinite;
        if (listener_ < 0 && listenAt_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*listenAt_ - Clock::now());
            timeoutMs = left.count() > 0 ? int(left.count()) : 0;
        }

        const int woken = platform::WaitForAny(objects.data(), objects.size(), timeoutMs);
        if (woken == 0) break;
        if (woken == platform::kWaitTimeout) {
            listenAt_.reset();
            if (!StartListenServer(settings_.tcpPort)) listenAt_ = Clock::now() + options_.listenRetryPeriod;
        } else if (woken == 1) {
            // A session logged in: the listener is looked at again above.
        } else if (woken == 2) {
            Accept(acceptFlag);
        } else if (woken >= kFirstSession) {
            FreeSlot(slotOfObject[size_t(woken - kFirstSession)]);
        } else {
            WriteLog(QStringLiteral("TcpServerThreadFunc: WSAWaitForMultipleEvents() error ret code"));
        }
    }

    WriteLog(QStringLiteral("TcpServerThreadFunc: Terminate thread event received."));
    CloseListener();
    StopSessions();
    WriteLog(QStringLiteral("TcpServerThreadFunc completed."));
    if (!termEvent_.Wait(0)) {
        journal_.PostNotification(shell::NotificationIcon::Information,
                                  QStringLiteral("Сервер TCP запросов остановлен"));
        Report(TcpServerState::Stopped, 0);
    }
}

bool TcpServer::StartListenServer(uint16_t port) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener_ < 0) {
        WriteLog(QStringLiteral("StartListenServer: Ошибка открытия TCP сокета: %1").arg(ErrnoText()));
        return false;
    }
    // Without it the port cannot be bound again while the sessions accepted on it are open, which
    // is exactly when the listener reopens after the table was full. Another listener on the port
    // still makes the bind fail.
    const int reuse = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const QString error = ErrnoText();
        WriteLog(QStringLiteral("StartListenServer: Ошибка привязки TCP сокета: %1").arg(error));
        journal_.PostNotification(shell::NotificationIcon::Error,
                                  QStringLiteral("Ошибка привязки TCP сокета: %1").arg(error));
        CloseListener();
        return false;
    }
    if (listen(listener_, kListenBacklog) != 0) {
        WriteLog(QStringLiteral("StartListenServer: Ошибка перевода TCP сокета в состояние ожидания соединения: %1")
                     .arg(ErrnoText()));
        CloseListener();
        return false;
    }
    WriteLog(QStringLiteral("TcpServerThreadFunc: TCP сокет ожидает соединения по порту: %1").arg(port));
    journal_.PostNotification(shell::NotificationIcon::Information,
                              QStringLiteral("Ожидает TCP запросы по порту: %1").arg(port));
    return true;
}

void TcpServer::CloseListener() {
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
}

void TcpServer::UpdateListener() {
    int stations = 0;
    {
        platform::CriticalSectionLock lock(tableLock_);
        stations = stationCount_;
    }
    const bool full = stations >= kStationPlaces;
    if (full && !full_) {
        // New clients are refused by the system from now on until a station leaves.
        CloseListener();
        listenAt_.reset();
        WriteLog(
            QStringLiteral("TcpServerThreadFunc: Достигнут максимум (%1) числа открытых соединений.").arg(stations));
    } else if (!full && full_) {
        listenAt_ = Clock::now();
    }
    full_ = full;
}

QString TcpServer::RefusalLocked(const QString& address) const {
    int loggingIn = 0;
    int fromAddress = 0;
    bool freeSlot = false;
    for (const Slot& slot : slots_) {
        if (slot.use == SlotUse::Free) freeSlot = true;
        if (slot.use != SlotUse::LoggingIn) continue;
        ++loggingIn;
        if (slot.session->ClientAddress() == address) ++fromAddress;
    }
    if (fromAddress >= kLoginPlacesPerAddress)
        return QStringLiteral(
                   "TcpServerThreadFunc: С адреса %1 уже ожидают входа %2 соединения! Соединение будет "
                   "закрыто.")
            .arg(address, QString::number(fromAddress));
    if (loggingIn >= kLoginPlaces || !freeSlot)
        return QStringLiteral("TcpServerThreadFunc: Входа ожидают %1 соединения! Соединение с %2 будет закрыто.")
            .arg(QString::number(loggingIn), address);
    return {};
}

void TcpServer::Accept(AcceptConnection acceptFlag) {
    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    const int client =
        accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0) {
        // The connection went away between the wake-up and accept(): nothing to do.
        if (errno == EAGAIN || errno == EINTR) return;
        WriteLog(QStringLiteral("TcpServerThreadFunc: Ошибка принятия соединения: %1").arg(ErrnoText()));
        CloseListener();
        listenAt_ = Clock::now();
        return;
    }
    char addressText[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &peer.sin_addr, addressText, sizeof addressText);
    const QString address = QString::fromLatin1(addressText);
    QString refusal;
    {
        platform::CriticalSectionLock lock(tableLock_);
        refusal = RefusalLocked(address);
    }
    // Before the lookup and the journal: a stranger knocking costs neither.
    if (!refusal.isEmpty()) {
        WriteLog(refusal);
        close(client);
        return;
    }
    const QString host = hostNames_.ConfirmedHostName(address, kMaxHostNameChars, stop_);
    WriteLog(QStringLiteral("TcpServerThreadFunc: Подключение с %1 (%2)").arg(address, host));
    journal_.PostNotification(shell::NotificationIcon::Information,
                              QStringLiteral("Подключение с адреса %1 (%2)").arg(address, host));

    if (acceptFlag == AcceptConnection::AllowedStationsOnly &&
        !IsStationAllowed(settings_.allowedStations, address, host)) {
        WriteLog(QStringLiteral("TcpServerThreadFunc: Станция %1 (%2) не содержится в списке разрешенных! Соединение "
                                "будет закрыто.")
                     .arg(address, host));
        journal_.PostNotification(
            shell::NotificationIcon::Warning,
            QStringLiteral("Станция %1 (%2) не содержится в списке разрешенных").arg(address, host));
        close(client);
        return;
    }

    int count = 0;
    {
        platform::CriticalSectionLock lock(tableLock_);
        Slot* free = nullptr;
        for (Slot& slot : slots_) {
            if (slot.use == SlotUse::Free) {
                free = &slot;
                break;
            }
        }
        // Only this thread takes slots, and it found one free before the lookup.
        OSTROVID_ASSERT(free != nullptr, "a client is accepted only while a slot is free");
        if (free == nullptr) {
            close(client);
            return;
        }
        if (!free->session->Open(client, address, host)) {
            WriteLog(QStringLiteral("TcpServerThreadFunc error: Can't create the TcpSessionThread."));
            return;
        }
        free->use = SlotUse::LoggingIn;
        count = ++sessionCount_;
    }
    Report(TcpServerState::Running, count);
}

void TcpServer::FreeSlot(int number) {
    int count = 0;
    {
        platform::CriticalSectionLock lock(tableLock_);
        if (slots_[number].use == SlotUse::Station) --stationCount_;
        slots_[number].use = SlotUse::Free;
        slots_[number].session->Release();
        count = --sessionCount_;
    }
    Report(TcpServerState::Running, count);
}

void TcpServer::StopSessions() {
    std::vector<int> active;
    {
        platform::CriticalSectionLock lock(tableLock_);
        for (int i = 0; i < kSessionSlots; ++i) {
            if (slots_[i].use != SlotUse::Free) active.push_back(i);
        }
    }
    if (!active.empty()) {
        WriteLog(QStringLiteral("TcpServerThreadFunc: Wait until session threads works..."));
        // The sessions end on the same stop event. The table lock is not held while they end, so
        // a broadcast meanwhile finds them closing instead of waiting for them.
        for (int number : active) slots_[number].session->Ended().Wait(platform::kInfinite);
        platform::CriticalSectionLock lock(tableLock_);
        for (int number : active) {
            slots_[number].session->Release();
            slots_[number].use = SlotUse::Free;
        }
        WriteLog(QStringLiteral("TcpServerThreadFunc: Session threads completed."));
    }
    platform::CriticalSectionLock lock(tableLock_);
    sessionCount_ = 0;
    stationCount_ = 0;
}

}  // namespace management
