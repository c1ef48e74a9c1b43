#include "app/management/host_lookup.h"

#include "platform/log.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>
#include <system_error>

namespace management {

namespace {

// What a lookup thread hands back; shared, so that it outlives whichever side ends first.
struct LookupCall {
    platform::Event done{true, false};
    std::mutex lock;
    QString claimed;         // what the reverse lookup said, under lock
    bool confirmed = false;  // the forward lookup led back to the address, under lock
};

}  // namespace

QString LookupHostName(const QString& address) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    if (inet_pton(AF_INET, address.toLatin1().constData(), &peer.sin_addr) != 1) return {};
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&peer), sizeof peer, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0)
        return {};
    return QString::fromLocal8Bit(host);
}

QStringList LookupAddresses(const QString& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.toLocal8Bit().constData(), nullptr, &hints, &found) != 0) return {};
    QStringList addresses;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr)
            addresses.append(QString::fromLatin1(text));
    }
    freeaddrinfo(found);
    return addresses;
}

HostNameLookup::HostNameLookup(ReverseLookup reverse, ForwardLookup forward, std::chrono::milliseconds timeout)
    : reverse_(std::move(reverse)), forward_(std::move(forward)), timeout_(timeout) {}

QString HostNameLookup::ConfirmedHostName(const QString& address, qsizetype maxChars, platform::Event& stop) {
    if (!reverse_ || !forward_) return {};
    if (running_->fetch_add(1) >= kMaxRunning) {
        running_->fetch_sub(1);
        WriteLog(QStringLiteral("TcpServerThreadFunc: Имя станции %1 не определено: не завершены прежние запросы.")
                     .arg(address));
        return {};
    }
    auto call = std::make_shared<LookupCall>();
    try {
        // Detached: a resolver that hangs must not hold the server, and nothing of the server's
        // is touched by the thread but what it was given.
        platform::StartNamedThread("TcpHostLookup", [call, address, reverse = reverse_, forward = forward_,
                                                     running = running_] {
            const QString claimed = reverse(address);
            const bool confirmed = !claimed.isEmpty() && forward(claimed).contains(address);
            {
                std::lock_guard<std::mutex> lock(call->lock);
                call->claimed = claimed;
                call->confirmed = confirmed;
            }
            call->done.Set();
            running->fetch_sub(1);
        }).detach();
    } catch (const std::system_error&) {
        running_->fetch_sub(1);
        return {};
    }
    const int woken = platform::WaitForAny({&call->done, &stop}, timeout_);
    if (woken == 1) return {};
    if (woken != 0) {
        WriteLog(QStringLiteral("TcpServerThreadFunc: Имя станции %1 не определено за %2 мс.")
                     .arg(address, QString::number(timeout_.count())));
        return {};
    }
    std::lock_guard<std::mutex> lock(call->lock);
    if (call->confirmed) return call->claimed.left(maxChars);
    if (!call->claimed.isEmpty())
        WriteLog(QStringLiteral("TcpServerThreadFunc: Имя %1 станции %2 не подтверждается прямым запросом.")
                     .arg(call->claimed.left(maxChars), address));
    return {};
}

}  // namespace management
