// The discovery responder over loopback: the reply's bytes, the warnings for malformed datagrams,
// a port in use, and the socket made anew when the machine's addresses change.

#include "app/management/udp_responder.h"
#include "tests/integration/management_net/net_test_support.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <cstdlib>
#include <optional>

namespace {

using namespace mgmt_test;
using management::UdpResponder;

class UdpStation {
public:
    UdpStation() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const sockaddr_in local = Loopback(0);
        bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    ~UdpStation() { close(fd_); }

    void Send(uint16_t port, const QByteArray& datagram) {
        const sockaddr_in to = Loopback(port);
        sendto(fd_, datagram.constData(), size_t(datagram.size()), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    }
    std::optional<QByteArray> Receive(std::chrono::milliseconds timeout) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, int(timeout.count())) <= 0) return std::nullopt;
        char buffer[4096];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0) return std::nullopt;
        return QByteArray(buffer, n);
    }

private:
    int fd_;
};

QByteArray Datagram(uint32_t type, int size) {
    QByteArray bytes(size, char(0xAB));  // what follows the type is not examined
    if (size >= 4) qToLittleEndian<uint32_t>(type, bytes.data());
    return bytes;
}

QString ListeningLine(uint16_t port) {
    return QStringLiteral("UdpServerThreadFunc: UDP сокет слушает по порту %1.").arg(port);
}

TEST(UdpResponderTest, ADiscoveryDatagramGetsTheReplyImageWithTheComputerNameAndVersion) {
    TempLog log;
    const uint16_t port = FreePort(SOCK_DGRAM);
    UdpResponder responder(QStringLiteral("KASSA-7"));
    ASSERT_TRUE(responder.Start(port));
    ASSERT_TRUE(log.WaitFor(ListeningLine(port)));

    UdpStation station;
    station.Send(port, Datagram(0x00010001, 136));
    const auto reply = station.Receive(2s);
    ASSERT_TRUE(reply);

    QByteArray image(188, '\0');
    const char head[] = {0x01, 0x00, 0x02, 0x00, char(0xB4), 0x00, 0x00, 0x00};
    image.replace(0, 8, QByteArray(head, 8));
    const char name[] = "KASSA-7";
    for (int i = 0; i < 7; ++i) image[8 + 2 * i] = name[i];
    const char version[] = {0x02, 0x00, 0x02, 0x00};
    image.replace(40, 4, QByteArray(version, 4));
    EXPECT_EQ(reply->toHex(' '), image.toHex(' '));
    EXPECT_TRUE(log.WaitFor(QStringLiteral("HandleUdpDiscoveryPacket: Ответ на 127.0.0.1 послан.")));
    EXPECT_EQ(log.Count(QStringLiteral("Принят UDP пакет_C2S_UDP_DISCOVERY от 127.0.0.1")), 1);

    // A longer name is cut so that its NUL still fits the 16 units.
    const uint16_t port2 = FreePort(SOCK_DGRAM);
    UdpResponder longName(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    ASSERT_TRUE(longName.Start(port2));
    ASSERT_TRUE(log.WaitFor(ListeningLine(port2)));
    station.Send(port2, Datagram(0x00010001, 136));
    const auto cut = station.Receive(2s);
    ASSERT_TRUE(cut);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(cut->constData() + 8)),
              QStringLiteral("ABCDEFGHIJKLMNO"));
    EXPECT_EQ(cut->mid(38, 2), QByteArray(2, '\0'));
}

TEST(UdpResponderTest, MalformedDatagramsAreLoggedWithoutReplyAndTheResponderGoesOn) {
    TempLog log;
    const uint16_t port = FreePort(SOCK_DGRAM);
    UdpResponder responder(QStringLiteral("KASSA-7"));
    ASSERT_TRUE(responder.Start(port));
    ASSERT_TRUE(log.WaitFor(ListeningLine(port)));

    UdpStation station;
    station.Send(port, Datagram(0x00010001, 137));
    station.Send(port, Datagram(0x00010001, 4));
    station.Send(port, Datagram(0x00020001, 136));
    station.Send(port, Datagram(0x00010001, 8));
    station.Send(port, Datagram(0x00010001, 0));
    station.Send(port, Datagram(0x00010001, 3000));
    EXPECT_FALSE(station.Receive(300ms));

    const QString prefix = QStringLiteral("WARNING! HandleUdpManRequest: c IP-адреса 127.0.0.1 принят ");
    EXPECT_TRUE(
        log.WaitFor(prefix + QStringLiteral("UDP пакет _C2S_UDP_DISCOVERY_PACKET с неверной длиной 137 байт.")));
    EXPECT_EQ(log.Count(prefix + QStringLiteral("неизвестный UDP пакет длиной 4 байт.")), 1);
    EXPECT_EQ(log.Count(prefix + QStringLiteral("UDP пакет неизвестного типа (00020001), длиной 136 байт.")), 1);
    EXPECT_EQ(log.Count(prefix + QStringLiteral("UDP пакет _C2S_UDP_DISCOVERY_PACKET с неверной длиной 8 байт.")), 1);
    EXPECT_EQ(log.Count(QStringLiteral(
                  "HandleUdpManRequest: Ошибка приема данных из UDP сокета: (10040) Слишком длинное сообщение")),
              1);
    // The "c" of the warnings is the Latin letter.
    EXPECT_TRUE(prefix.contains(QStringLiteral(" c IP")));

    station.Send(port, Datagram(0x00010001, 136));
    EXPECT_TRUE(station.Receive(2s));
}

TEST(UdpResponderTest, APortInUseIsRetriedAtTheRetryPeriodAndStopEndsTheWait) {
    TempLog log;
    const uint16_t port = FreePort(SOCK_DGRAM);
    const int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);

    UdpResponder responder(QStringLiteral("KASSA-7"), {150ms});
    ASSERT_TRUE(responder.Start(port));
    const QString bindError =
        QStringLiteral("UdpServerThreadFunc: Ошибка настройки UDP сокета на порт %1: (10048) Адрес уже используется")
            .arg(port);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(log.WaitFor(bindError, 4));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * 150ms);

    close(holder);
    ASSERT_TRUE(log.WaitFor(ListeningLine(port), 1, 2s));
    UdpStation station;
    station.Send(port, Datagram(0x00010001, 136));
    EXPECT_TRUE(station.Receive(2s));
    responder.Stop();
    EXPECT_EQ(log.Count(QStringLiteral("UdpServerThreadFunc: Terminate thread event received.")), 1);
    EXPECT_EQ(log.Lines().last(), QStringLiteral("UdpServerThreadFunc completed."));

    // Stopped while it waits to try again.
    const int holder2 = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(holder2, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    UdpResponder waiting(QStringLiteral("KASSA-7"), {std::chrono::minutes(1)});
    ASSERT_TRUE(waiting.Start(port));
    ASSERT_TRUE(log.WaitFor(bindError, 5));
    const auto stopStart = std::chrono::steady_clock::now();
    waiting.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 1s);
    EXPECT_EQ(log.Count(QStringLiteral("UdpServerThreadFunc: UdpServerStopEvent signaled.")), 1);
    close(holder2);
}

TEST(UdpResponderTest, ANewAddressMakesTheSocketAnewAtOnce) {
    TempLog log;
    const uint16_t port = FreePort(SOCK_DGRAM);
    // Only a private network namespace may have its addresses changed by a test; the responder's
    // thread and the "ip" command inherit it from the thread that makes it.
    UdpResponder responder(QStringLiteral("KASSA-7"), {std::chrono::minutes(1)});
    bool isolated = false;
    int ipStatus = -1;
    std::thread inNamespace([&] {
        if (unshare(CLONE_NEWNET) != 0) return;
        isolated = true;
        if (!responder.Start(port) || !log.WaitFor(ListeningLine(port))) return;
        ipStatus = std::system("ip address add 10.231.0.1/32 dev lo 2>/dev/null");
    });
    inNamespace.join();
    if (!isolated) GTEST_SKIP() << "no network namespace can be made here";
    ASSERT_EQ(ipStatus, 0);
    EXPECT_TRUE(log.WaitFor(
        QStringLiteral("UdpServerThreadFunc: UDP сокет был закрыт, либо изменился список адресов интерфейсов."), 1,
        2s));
    EXPECT_TRUE(log.WaitFor(ListeningLine(port), 2, 2s));
    responder.Stop();
}

}  // namespace
