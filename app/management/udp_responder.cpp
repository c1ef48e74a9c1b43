#include "app/management/udp_responder.h"

#include "app/management/address_watch.h"
#include "platform/contract.h"
#include "platform/log.h"
#include "platform/net.h"
#include "platform/syserror.h"
#include "platform/unique_fd.h"

#include <QtEndian>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace management {

namespace {

constexpr uint32_t kDiscoveryRequestType = 0x00010001;  // _C2S_UDP_DISCOVERY_PACKET
constexpr uint32_t kDiscoveryReplyType = 0x00020001;
constexpr size_t kDiscoveryRequestSize = 136;
constexpr size_t kDiscoveryReplySize = 188;
constexpr size_t kComputerNameUnits = 16;         // with its NUL
constexpr uint32_t kProgramVersion = 0x00020002;  // 2.2
constexpr uint32_t kProgramBuild = 0;
constexpr size_t kMaxDatagram = 2048;
constexpr int kReceiveBufferBytes = 32768;

using Reply = std::array<char, kDiscoveryReplySize>;

Reply BuildDiscoveryReply(const QString& computerName) {
    Reply reply{};
    qToLittleEndian<uint32_t>(kDiscoveryReplyType, reply.data());
    qToLittleEndian<uint32_t>(uint32_t(kDiscoveryReplySize - 8), reply.data() + 4);
    const QString name = computerName.left(kComputerNameUnits - 1);
    qToLittleEndian<char16_t>(name.utf16(), name.size(), reply.data() + 8);
    qToLittleEndian<uint32_t>(kProgramVersion, reply.data() + 8 + 2 * kComputerNameUnits);
    qToLittleEndian<uint32_t>(kProgramBuild, reply.data() + 12 + 2 * kComputerNameUnits);
    return reply;
}

QString AddressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

}  // namespace

UdpResponder::UdpResponder(QString computerName, UdpResponderOptions options)
    : computerName_(std::move(computerName)), options_(options) {}

UdpResponder::~UdpResponder() { Stop(); }

bool UdpResponder::Start(uint16_t udpPort) {
    OSTROVID_ASSERT(!thread_.joinable(), "the responder is started only when it is stopped");
    port_ = udpPort;
    stop_.Reset();
    try {
        thread_ = platform::StartNamedThread("UdpServerThreadFunc", [this] { ServerThread(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void UdpResponder::Stop() {
    if (!thread_.joinable()) return;
    stop_.Set();
    thread_.join();
}

void UdpResponder::ServerThread() {
    WriteLog(QStringLiteral("UdpServerThreadFunc started."));
    AddressWatch addresses;
    if (!addresses.IsValid()) {
        WriteLog(QStringLiteral("UdpServerThreadFunc: Ошибка создания объекта NetEvent."));
    } else {
        // After the first failure every attempt waits first, so a lasting fault is retried at a
        // steady pace; a change of addresses alone makes the socket anew at once.
        bool failedBefore = false;
        for (;;) {
            if (failedBefore && stop_.Wait(options_.retryPeriod)) {
                WriteLog(QStringLiteral("UdpServerThreadFunc: UdpServerStopEvent signaled."));
                break;
            }
            const PassEnd end = RunPass(addresses);
            if (end == PassEnd::Stopped) break;
            if (end == PassEnd::Failed) failedBefore = true;
        }
    }
    WriteLog(QStringLiteral("UdpServerThreadFunc completed."));
}

UdpResponder::PassEnd UdpResponder::RunPass(AddressWatch& addresses) {
    // Notifications from before this socket are already taken into account by it.
    if (addresses.Drain() == AddressListState::Failed) {
        WriteLog(QStringLiteral("UdpServerThreadFunc: Ошибка вызова WSAEnumNetworkEvents(): %1")
                     .arg(platform::SocketErrorText(errno)));
        return PassEnd::Failed;
    }
    platform::UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0) {
        WriteLog(QStringLiteral("UdpServerThreadFunc: Ошибка открытия UDP сокета: %1")
                     .arg(platform::SocketErrorText(errno)));
        return PassEnd::Failed;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port_);
    if (bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        WriteLog(QStringLiteral("UdpServerThreadFunc: Ошибка настройки UDP сокета на порт %1: %2")
                     .arg(QString::number(port_), platform::SocketErrorText(errno)));
        return PassEnd::Failed;
    }
    const int receiveBuffer = kReceiveBufferBytes;
    setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    WriteLog(QStringLiteral("UdpServerThreadFunc: UDP сокет слушает по порту %1.").arg(port_));
    return ServeSocket(socket.get(), addresses);
}

UdpResponder::PassEnd UdpResponder::ServeSocket(int socket, AddressWatch& addresses) {
    platform::ReadableFd datagram(socket);
    platform::ReadableFd addressNotice(addresses.Fd());
    for (;;) {
        const int woken = platform::WaitForAny({&stop_, &datagram, &addressNotice}, platform::kInfinite);
        if (woken == 0) {
            WriteLog(QStringLiteral("UdpServerThreadFunc: Terminate thread event received."));
            return PassEnd::Stopped;
        }
        if (woken == 1) {
            HandleUdpManRequest(socket);
            continue;
        }
        if (woken == 2) {
            const AddressListState state = addresses.Drain();
            if (state == AddressListState::Failed) {
                WriteLog(QStringLiteral("UdpServerThreadFunc: Ошибка вызова WSAEnumNetworkEvents(): %1")
                             .arg(platform::SocketErrorText(errno)));
                return PassEnd::Failed;
            }
            if (state == AddressListState::Changed) {
                WriteLog(QStringLiteral(
                    "UdpServerThreadFunc: UDP сокет был закрыт, либо изменился список адресов интерфейсов."));
                return PassEnd::AddressesChanged;
            }
            continue;
        }
        WriteLog(QStringLiteral("UdpServerThreadFunc: WaitForMultipleObjects() error %1.")
                     .arg(platform::ErrorCodeFromErrno(errno)));
        return PassEnd::Stopped;
    }
}

void UdpResponder::HandleUdpManRequest(int socket) {
    std::array<char, kMaxDatagram> buffer;
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    // MSG_TRUNC reports the whole length of a larger datagram, which is refused as too long.
    ssize_t received = recvfrom(socket, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (received > ssize_t(buffer.size())) {
        received = -1;
        errno = EMSGSIZE;
    }
    if (received < 0) {
        WriteLog(QStringLiteral("HandleUdpManRequest: Ошибка приема данных из UDP сокета: %1")
                     .arg(platform::SocketErrorText(errno)));
        return;
    }
    if (received == 0) return;
    const QString address = AddressText(sender);
    const QString length = QString::number(received);
    if (size_t(received) < 8) {
        WriteLog(
            QStringLiteral("WARNING! HandleUdpManRequest: c IP-адреса %1 принят неизвестный UDP пакет длиной %2 байт.")
                .arg(address, length));
        return;
    }
    const uint32_t type = qFromLittleEndian<uint32_t>(buffer.data());
    if (type != kDiscoveryRequestType) {
        WriteLog(QStringLiteral("WARNING! HandleUdpManRequest: c IP-адреса %1 принят UDP пакет неизвестного типа (%2), "
                                "длиной %3 байт.")
                     .arg(address, QStringLiteral("%1").arg(type, 8, 16, QLatin1Char('0')), length));
        return;
    }
    if (size_t(received) != kDiscoveryRequestSize) {
        WriteLog(QStringLiteral("WARNING! HandleUdpManRequest: c IP-адреса %1 принят UDP пакет "
                                "_C2S_UDP_DISCOVERY_PACKET с неверной длиной %2 байт.")
                     .arg(address, length));
        return;
    }
    HandleUdpDiscoveryPacket(socket, sender);
}

void UdpResponder::HandleUdpDiscoveryPacket(int socket, const sockaddr_in& sender) {
    const QString address = AddressText(sender);
    WriteLog(QStringLiteral("Принят UDP пакет_C2S_UDP_DISCOVERY от %1").arg(address));
    const Reply reply = BuildDiscoveryReply(computerName_);
    const ssize_t sent = sendto(socket, reply.data(), reply.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&sender), sizeof sender);
    if (sent == ssize_t(reply.size())) {
        WriteLog(QStringLiteral("HandleUdpDiscoveryPacket: Ответ на %1 послан.").arg(address));
    } else {
        WriteLog(QStringLiteral("HandleUdpDiscoveryPacket: Ошибка UDP посылки ответа на %1: %2")
                     .arg(address, platform::SocketErrorText(errno)));
    }
}

}  // namespace management
