#include "app/management/tcp_session.h"

#include "platform/contract.h"
#include "platform/log.h"
#include "platform/net.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <vector>

namespace management {

namespace {

using namespace shell::literals;

constexpr int kSendBufferBytes = 32768;
constexpr int kKeepAliveIdleSeconds = 10;
constexpr int kKeepAliveIntervalSeconds = 1;
// The probe count is not configurable where these values come from; it is fixed at 10 there.
constexpr int kKeepAliveProbes = 10;

enum class WriteWait { Writable, Closing, Failed };

// Waits until the socket takes more data or the session is ending.
WriteWait WaitWritable(int socket, platform::Event& closing) {
    pollfd fds[2] = {{closing.PollFd(), POLLIN, 0}, {socket, POLLOUT, 0}};
    for (;;) {
        const int ready = poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return WriteWait::Failed;
        if (fds[0].revents & POLLIN) return WriteWait::Closing;
        // An error or hang-up makes the next send() report it.
        if (fds[1].revents) return WriteWait::Writable;
    }
}

void SetIntOption(int socket, int level, int name, int value) { setsockopt(socket, level, name, &value, sizeof value); }

}  // namespace

TcpSession::TcpSession(int number, const SessionServices& services) : number_(number), services_(services) {}

TcpSession::~TcpSession() {
    OSTROVID_ASSERT(!sessionThread_.joinable(), "a session slot is destroyed after the server released it");
}

Subscription TcpSession::CurrentSubscription() const {
    std::lock_guard<std::mutex> lock(stateLock_);
    return subscription_;
}

void TcpSession::SetSubscription(const Subscription& subscription) {
    std::lock_guard<std::mutex> lock(stateLock_);
    subscription_ = subscription;
}

bool TcpSession::SendTcpPacket(PacketType type, const QString& documentText, WhenQueueFull whenFull) {
    const bool ownReceiveThread = receiveThreadId_.load() == std::this_thread::get_id();
    OSTROVID_ASSERT(whenFull == WhenQueueFull::Drop || ownReceiveThread,
                    "only a session's own receive thread may wait for room in its ring");
    if (!ownReceiveThread) whenFull = WhenQueueFull::Drop;

    QByteArray packet;
    try {
        packet = BuildPacket(type, documentText);
    } catch (const std::bad_alloc&) {
        WriteLog(QStringLiteral("SendTcpPacket() Session %1: %2")
                     .arg(QString::number(number_), u"Недостаточно памяти в системе"_jt));
        return false;
    }
    switch (ring_.Queue(std::move(packet), whenFull, closing_)) {
    case QueueResult::Queued:
        return true;
    case QueueResult::DroppedFirstOfBurst:
        // Once per burst: a station that stopped reading would otherwise fill the log with every event.
        WriteLog(QStringLiteral(
                     "SendTcpPacket() Session %1: Очередь посылки переполнена, пакеты станции %2 (%3) отбрасываются.")
                     .arg(QString::number(number_), address_, host_));
        return false;
    case QueueResult::Dropped:
    case QueueResult::Closing:
        return false;
    }
    return false;
}

LoginResult TcpSession::LogIn() {
    if (loggedIn_.load()) return LoginResult::Station;
    if (!services_.places.TakeStationPlace(number_)) {
        WriteLog(QStringLiteral("TcpSessionThreadFunc %1. Достигнут максимум (%2) числа открытых соединений. Станция "
                                "%3 (%4) не принята.")
                     .arg(QString::number(number_), QString::number(kStationPlaces), address_, host_));
        return LoginResult::NoStationPlace;
    }
    loggedIn_.store(true);
    loggedInEvent_.Set();
    return LoginResult::Station;
}

int TcpSession::CountWrongPassword() { return ++wrongPasswords_; }

bool TcpSession::Open(int socket, const QString& address, const QString& host) {
    OSTROVID_ASSERT(!sessionThread_.joinable(), "a slot is opened only after its previous session was released");
    ring_.Clear();
    SetSubscription(Subscription{});
    loggedIn_.store(false);
    loggedInEvent_.Reset();
    wrongPasswords_.store(0);
    socket_ = socket;
    address_ = address;
    host_ = host;
    ended_.Reset();
    try {
        sessionThread_ = platform::StartNamedThread("TcpSessionThreadFunc", [this] { SessionThread(); });
    } catch (const std::system_error&) {
        close(socket_);
        socket_ = -1;
        return false;
    }
    return true;
}

void TcpSession::Release() {
    if (sessionThread_.joinable()) sessionThread_.join();
}

void TcpSession::ApplySocketOptions() {
    SetIntOption(socket_, SOL_SOCKET, SO_SNDBUF, kSendBufferBytes);
    SetIntOption(socket_, IPPROTO_TCP, TCP_NODELAY, 1);
    SetIntOption(socket_, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetIntOption(socket_, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleSeconds);
    SetIntOption(socket_, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalSeconds);
    SetIntOption(socket_, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
    // Keep-alive does not probe while data waits to be sent, so a client that stops reading would
    // otherwise hold its session, and a reply waiting for room its receive thread, for ever.
    SetIntOption(socket_, IPPROTO_TCP, TCP_USER_TIMEOUT, int(services_.userTimeout.count()));
}

void TcpSession::SessionThread() {
    const QString n = QString::number(number_);
    WriteLog(QStringLiteral("TcpSessionThreadFunc %1 started. Client %2 (%3)").arg(n, address_, host_));
    ApplySocketOptions();
    peerClosed_.Reset();
    receiveEnded_.Reset();
    sendEnded_.Reset();
    closing_.Reset();

    bool running = true;
    try {
        receiveThread_ = platform::StartNamedThread("TcpSessionRecvThreadFunc", [this] { ReceiveThread(); });
    } catch (const std::system_error&) {
        WriteLog(QStringLiteral("TcpSessionThreadFunc %1. Can't create RcvThread.").arg(n));
        running = false;
    }
    if (running) {
        try {
            sendThread_ = platform::StartNamedThread("TcpSessionSendThreadFunc", [this] { SendThread(); });
        } catch (const std::system_error&) {
            WriteLog(QStringLiteral("TcpSessionThreadFunc %1. Can't create SendThread.").arg(n));
            running = false;
        }
    }
    if (running) WaitWhileRunning();

    closing_.Set();
    if (receiveThread_.joinable()) receiveThread_.join();
    if (sendThread_.joinable()) sendThread_.join();
    close(socket_);
    socket_ = -1;
    ring_.Clear();
    SetSubscription(Subscription{});
    WriteLog(QStringLiteral("TcpSessionThreadFunc %1 completed.").arg(n));
    ended_.Set();
}

void TcpSession::WaitWhileRunning() {
    const QString n = QString::number(number_);
    const auto loginDeadline = std::chrono::steady_clock::now() + services_.loginTimeout;
    for (;;) {
        // A session whose send thread ended can deliver nothing more; it also stands for a closed
        // connection while the receive thread is held by a reply that waits for room.
        std::vector<platform::Waitable*> objects{&services_.serverStop, &peerClosed_, &receiveEnded_, &sendEnded_};
        int timeoutMs = platform::kInfinite;
        const bool loggingIn = !loggedIn_.load();
        if (loggingIn) {
            objects.push_back(&loggedInEvent_);
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(loginDeadline - std::chrono::steady_clock::now());
            timeoutMs = int(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
        }
        switch (platform::WaitForAny(objects.data(), objects.size(), timeoutMs)) {
        case 0:
        case 2:
        case 3:
            return;
        case 1:
            WriteLog(QStringLiteral("TcpSessionThreadFunc %1. Закрыто соединение с %2 (%3)").arg(n, address_, host_));
            services_.journal.PostNotification(shell::NotificationIcon::Information,
                                               QStringLiteral("Закрыто соединение с %1 (%2)").arg(address_, host_));
            return;
        case 4:
            continue;
        case platform::kWaitTimeout:
            // The password may have been accepted just now.
            if (loggedIn_.load()) continue;
            WriteLog(QStringLiteral("TcpSessionThreadFunc %1. Станция %2 (%3) не прислала правильный пароль за %4 мс. "
                                    "Сеанс будет закрыт.")
                         .arg(n, address_, host_, QString::number(services_.loginTimeout.count())));
            return;
        default:
            WriteLog(QStringLiteral("TcpSessionThreadFunc %1. WSAWaitForMultipleEvents() error ret code.").arg(n));
            return;
        }
    }
}

void TcpSession::ReceiveThread() {
    receiveThreadId_.store(std::this_thread::get_id());
    const QString n = QString::number(number_);
    WriteLog(QStringLiteral("TcpSessionRecvThreadFunc %1 started.").arg(n));
    PacketReader reader;
    platform::ReadableFd readable(socket_);

    for (bool running = true; running;) {
        const int woken = platform::WaitForAny({&closing_, &readable}, platform::kInfinite);
        if (woken == 0) break;
        if (woken != 1) {
            WriteLog(QStringLiteral("TcpSessionRecvThreadFunc %1. WaitForMultipleObjects() error ret code.").arg(n));
            break;
        }
        const std::span<std::byte> space = reader.FreeSpace();
        const ssize_t received = recv(socket_, space.data(), space.size(), MSG_DONTWAIT);
        if (received < 0) {
            const int code = platform::WinSockCodeFromErrno(errno);
            if (code == platform::kWsaEWouldBlock || errno == EINTR) continue;
            if (code == platform::kWsaEConnReset || code == platform::kWsaENetReset) {
                peerClosed_.Set();
                break;
            }
            WriteLog(QStringLiteral("TcpSessionRecvThreadFunc %1. Ошибка чтения данных: %2")
                         .arg(n, platform::WinSockErrorText(code)));
            break;
        }
        if (received == 0) {
            // The client closed its side: what the session thread reports as a closed connection.
            peerClosed_.Set();
            break;
        }
        reader.Received(size_t(received));
        running = HandlePackets(reader);
    }

    WriteLog(QStringLiteral("TcpSessionRecvThreadFunc %1 completed.").arg(n));
    receiveThreadId_.store(std::thread::id());
    receiveEnded_.Set();
}

bool TcpSession::HandlePackets(PacketReader& reader) {
    const QString n = QString::number(number_);
    for (;;) {
        const ReadResult next = reader.Next();
        switch (next.verdict) {
        case ReadVerdict::NeedMore:
            return true;
        case ReadVerdict::Packet:
            if (!HandlePacket(next.header.type, next.data)) return false;
            break;
        case ReadVerdict::TooLong:
            WriteLog(
                QStringLiteral("TcpSessionRecvThreadFunc %1. Принят пакет _C2S_TCP_REQUEST со слишком большой длиной "
                               "(%2) данных. Сеанс будет закрыт.")
                    .arg(n, QString::number(int32_t(next.header.dataLength))));
            return false;
        case ReadVerdict::UnknownType:
            WriteLog(QStringLiteral("TcpSessionRecvThreadFunc %1. Принят неизвестный пакет %2. Сеанс будет закрыт.")
                         .arg(n, QStringLiteral("%1").arg(next.header.type, 8, 16, QLatin1Char('0'))));
            services_.journal.PostNotification(
                shell::NotificationIcon::Error,
                QStringLiteral("Неизвестный пакет запроса от %1 (%2)").arg(address_, host_));
            return false;
        }
    }
}

bool TcpSession::HandlePacket(uint32_t type, std::span<const std::byte> data) {
    const QString n = QString::number(number_);
    if (type == uint32_t(PacketType::_C2S_TCP_REQUEST)) {
        if (services_.handler.HandleTcpRequest(*this, data)) return true;
        WriteLog(QStringLiteral("TcpSessionRecvThreadFunc %1. HandleTcpRequest() failed. Сеанс будет закрыт.").arg(n));
        return false;
    }
    if (services_.handler.HandleTcpSubscribeToEvents(*this, data)) return true;
    WriteLog(
        QStringLiteral("TcpSessionRecvThreadFunc %1. HandleTcpSubscribeToEvents() failed. Сеанс будет закрыт.").arg(n));
    return false;
}

void TcpSession::SendThread() {
    const QString n = QString::number(number_);
    WriteLog(QStringLiteral("TcpSessionSendThreadFunc %1 started.").arg(n));
    for (bool running = true; running;) {
        const int woken = platform::WaitForAny({&closing_, &ring_.NotEmpty()}, platform::kInfinite);
        if (woken == 0) break;
        if (woken != 1) {
            WriteLog(QStringLiteral("TcpSessionSendThreadFunc %1. WaitForMultipleObjects() error ret code.").arg(n));
            break;
        }
        while (running) {
            const QByteArray* packet = ring_.Tail();
            if (packet == nullptr) break;
            running = SendPacket(*packet);
            if (running) ring_.AdvanceTail();
        }
    }
    WriteLog(QStringLiteral("TcpSessionSendThreadFunc %1 completed.").arg(n));
    sendEnded_.Set();
}

bool TcpSession::SendPacket(const QByteArray& packet) {
    qsizetype sent = 0;
    while (sent < packet.size()) {
        const ssize_t n =
            send(socket_, packet.constData() + sent, size_t(packet.size() - sent), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int code = platform::WinSockCodeFromErrno(errno);
            if (code == platform::kWsaEConnAborted || code == platform::kWsaEShutdown) {
                peerClosed_.Set();
                return false;
            }
            if (code == platform::kWsaEConnReset) peerClosed_.Set();
            if (code != platform::kWsaEWouldBlock) {
                WriteLog(QStringLiteral("SendPacket session %1. Ошибка посылки данных: %2")
                             .arg(QString::number(number_), platform::WinSockErrorText(code)));
                return false;
            }
        } else {
            sent += n;
            if (sent == packet.size()) break;
        }
        if (WaitWritable(socket_, closing_) != WriteWait::Writable) return false;
    }
    return true;
}

}  // namespace management
