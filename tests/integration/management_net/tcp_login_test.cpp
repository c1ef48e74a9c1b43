// Connections that have yet to log in, over loopback: their time-out, how many one address may
// hold while stations from elsewhere still get in, a client that stops reading, and the host
// names of the stations (confirmed forward, looked up without holding the server).

#include "tests/integration/management_net/tcp_harness.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

using namespace mgmt_test;
using management::AcceptConnection;
using management::WhenQueueFull;

// Logs the station in and says whether it was answered.
bool LogIn(Station& station, const QString& text = QStringLiteral("login")) {
    return station.Send(TextPacket(kRequest, text)) && station.Read(3s).has_value();
}

TEST(TcpLoginTest, AConnectionWithoutTheRightPasswordIsClosedWhenItsLoginTimeIsOut) {
    TcpServerHarness h;
    h.Start({}, TcpServerHarness::Options(&management::TcpServerOptions::loginTimeout, std::chrono::milliseconds(1s)));
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    Station station(h.port);
    ASSERT_TRUE(LogIn(station));
    Station idle(h.port);
    Station anonymous(h.port);  // answered, but without a right password
    ASSERT_TRUE(anonymous.Send(TextPacket(kRequest, QStringLiteral("anonymous"))));
    ASSERT_TRUE(anonymous.Read());

    EXPECT_TRUE(idle.WaitClosed(5s));
    EXPECT_TRUE(anonymous.WaitClosed(5s));
    EXPECT_TRUE(
        h.log.WaitFor(QStringLiteral("TcpSessionThreadFunc 1. Станция 127.0.0.1 (teststation) не прислала "
                                     "правильный пароль за 1000 мс. Сеанс будет закрыт.")));
    // The logged-in station stays long after.
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(LogIn(station, QStringLiteral("still here")));
    EXPECT_TRUE(h.status.WaitCount(1));
    EXPECT_EQ(h.sink.Count(QStringLiteral("Закрыто соединение с 127.0.0.1 (teststation)")), 0);
}

TEST(TcpLoginTest, AStrangerHoldingConnectionsFromOneAddressLeavesRoomForStationsFromElsewhere) {
    TcpServerHarness h;
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    std::vector<std::unique_ptr<Station>> knocking;
    for (int i = 0; i < management::kLoginPlacesPerAddress; ++i) {
        knocking.push_back(std::make_unique<Station>(h.port));
        ASSERT_TRUE(h.status.WaitCount(i + 1));
    }
    // One more from the same address is closed at once, before it is looked up or journaled.
    {
        Station more(h.port);
        ASSERT_TRUE(more.Connected());
        EXPECT_TRUE(more.WaitClosed(2s));
    }
    EXPECT_TRUE(h.log.WaitFor(QStringLiteral(
        "TcpServerThreadFunc: С адреса 127.0.0.1 уже ожидают входа 3 соединения! Соединение будет закрыто.")));
    EXPECT_EQ(h.sink.Count(QStringLiteral("Подключение с адреса 127.0.0.1 (teststation)")),
              management::kLoginPlacesPerAddress);

    // The last login place is another address's; when it too is taken, nobody gets a further one.
    Station waiting(h.port, 0, "127.0.0.2");
    ASSERT_TRUE(h.status.WaitCount(management::kLoginPlaces));
    {
        Station third(h.port, 0, "127.0.0.3");
        EXPECT_TRUE(third.WaitClosed(2s));
    }
    EXPECT_TRUE(h.log.WaitFor(
        QStringLiteral("TcpServerThreadFunc: Входа ожидают 4 соединения! Соединение с 127.0.0.3 будет закрыто.")));
    ASSERT_TRUE(LogIn(waiting));

    // Every station place is open to stations that log in, while the stranger still knocks.
    std::vector<std::unique_ptr<Station>> stations;
    for (int i = 1; i < management::kStationPlaces; ++i) {
        stations.push_back(std::make_unique<Station>(h.port, 0, i % 2 ? "127.0.0.2" : "127.0.0.3"));
        ASSERT_TRUE(LogIn(*stations.back())) << i;
    }
    EXPECT_TRUE(
        h.log.WaitFor(QStringLiteral("TcpServerThreadFunc: Достигнут максимум (8) числа открытых соединений.")));
    Station ninth(h.port, 0, "127.0.0.2");
    EXPECT_FALSE(ninth.Connected());
    // A connection accepted before the places were taken cannot log in any more.
    ASSERT_TRUE(knocking[0]->Send(TextPacket(kRequest, QStringLiteral("late"))));
    EXPECT_TRUE(knocking[0]->WaitClosed(2s));
    EXPECT_FALSE(knocking[0]->Read(100ms));
    EXPECT_TRUE(LogIn(waiting, QStringLiteral("still served")));
}

TEST(TcpLoginTest, AClientThatStopsReadingIsDisconnectedAfterTheUserTimeout) {
    TcpServerHarness h;
    h.Start({}, TcpServerHarness::Options(&management::TcpServerOptions::userTimeout, std::chrono::milliseconds(500ms)));
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    Station silent(h.port, 4096);
    ASSERT_TRUE(LogIn(silent));
    ASSERT_TRUE(h.status.WaitCount(1));

    const QString text = QStringLiteral("event:") + QString(16000, QLatin1Char('x'));
    for (int i = 0; i < 200 && h.server->DroppedPackets(0) == 0; ++i) {
        h.server->ForEachActiveSession([&](management::Session& session) {
            session.SendTcpPacket(management::PacketType::_S2C_TCP_EVENT, text, WhenQueueFull::Drop);
        });
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_GT(h.server->DroppedPackets(0), 0u);
    EXPECT_TRUE(h.status.WaitCount(0, 10s));
    // Reported by whichever of its threads meets the error first.
    EXPECT_TRUE(WaitUntil(
        [&] { return !h.log.Lines().filter(QStringLiteral(": (10060) Превышен таймаут на соединение")).isEmpty(); }));
}

TEST(TcpHostNameTest, ANameIsBelievedOnlyWhenItLeadsBackToTheAddress) {
    TcpServerHarness h;
    auto options = TcpServerHarness::Options();
    options.reverseLookup = [](const QString&) { return QStringLiteral("kassaa.shop.example"); };
    std::mutex lock;
    QStringList forward{QStringLiteral("10.9.9.9")};
    options.forwardLookup = [&](const QString& host) {
        std::lock_guard<std::mutex> guard(lock);
        return host == QStringLiteral("kassaa.shop.example") ? forward : QStringList();
    };
    h.Start({0, AcceptConnection::AllowedStationsOnly, {QStringLiteral("KassaA")}}, options);
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    {
        Station liar(h.port);
        EXPECT_TRUE(liar.WaitClosed());
    }
    EXPECT_TRUE(h.sink.WaitFor(QStringLiteral("Станция 127.0.0.1 () не содержится в списке разрешенных")));
    EXPECT_EQ(h.log.Count(QStringLiteral(
                  "TcpServerThreadFunc: Имя kassaa.shop.example станции 127.0.0.1 не подтверждается прямым запросом.")),
              1);

    {
        std::lock_guard<std::mutex> guard(lock);
        forward = {QStringLiteral("10.9.9.9"), QStringLiteral("127.0.0.1")};
    }
    Station confirmed(h.port);
    EXPECT_TRUE(LogIn(confirmed));
    EXPECT_TRUE(h.sink.WaitFor(QStringLiteral("Подключение с адреса 127.0.0.1 (kassaa.shop.example)")));
}

TEST(TcpHostNameTest, ASlowResolverHoldsTheServerNoLongerThanTheLookupTimeAndNeverItsStop) {
    TcpServerHarness h;
    auto options = TcpServerHarness::Options();
    options.lookupTimeout = 200ms;
    // Captures nothing: it may still run after the test.
    options.reverseLookup = [](const QString&) {
        std::this_thread::sleep_for(3s);
        return QStringLiteral("slow.example");
    };
    h.Start({}, options);
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    const auto start = std::chrono::steady_clock::now();
    Station first(h.port);
    ASSERT_TRUE(LogIn(first));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(h.sink.Count(QStringLiteral("Подключение с адреса 127.0.0.1 ()")), 1);
    EXPECT_EQ(h.log.Count(QStringLiteral("TcpServerThreadFunc: Имя станции 127.0.0.1 не определено за 200 мс.")), 1);

    // The server stops while it waits for a name.
    Station second(h.port);
    ASSERT_TRUE(second.Connected());
    std::this_thread::sleep_for(50ms);
    const auto stopStart = std::chrono::steady_clock::now();
    h.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 500ms);
    EXPECT_TRUE(first.WaitClosed(1s));
}

}  // namespace
