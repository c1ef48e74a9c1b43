// The TCP server over loopback: the eight-session limit and the listener's reopening, the
// admission of stations, the packet framing in both directions, a port in use, and stopping.

#include "app/management/station_admission.h"
#include "tests/integration/management_net/tcp_harness.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <array>
#include <memory>

namespace {

using namespace mgmt_test;
using management::AcceptConnection;
using management::TcpServerState;

const QString kClient = QStringLiteral("127.0.0.1 (teststation)");

TEST(TcpServerTest, NinthStationIsRefusedWhileEightAreOpenAndAcceptedAtOnceAfterOneCloses) {
    TcpServerHarness h;
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    EXPECT_EQ(h.status.Seen().front(), (Status{TcpServerState::Running, 0}));

    // Eight stations log in; every one of them is served.
    std::array<std::unique_ptr<Station>, 8> stations;
    for (int i = 0; i < 8; ++i) {
        stations[i] = std::make_unique<Station>(h.port);
        ASSERT_TRUE(stations[i]->Connected());
        ASSERT_TRUE(h.status.WaitCount(i + 1)) << i;
        ASSERT_TRUE(stations[i]->Send(TextPacket(kRequest, QStringLiteral("n%1").arg(i))));
        const auto reply = stations[i]->Read();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->Text(), QStringLiteral("reply:n%1").arg(i));
    }
    EXPECT_TRUE(
        h.log.WaitFor(QStringLiteral("TcpServerThreadFunc: Достигнут максимум (8) числа открытых соединений.")));

    // A ninth station hammering the port is refused by the system every time.
    for (int attempt = 0; attempt < 300; ++attempt) {
        Station ninth(h.port);
        ASSERT_FALSE(ninth.Connected()) << attempt;
        ASSERT_EQ(ninth.ConnectError(), ECONNREFUSED) << attempt;
    }
    EXPECT_EQ(h.status.Last(), (Status{TcpServerState::Running, 8}));

    stations[3]->Close();
    ASSERT_TRUE(h.status.WaitCount(7));
    ASSERT_TRUE(h.sink.WaitFor(QStringLiteral("Закрыто соединение с ") + kClient));
    // Reopened at once, not after the retry period.
    ASSERT_TRUE(h.sink.WaitFor(h.ListeningText(), 2, 1s));
    Station again(h.port);
    ASSERT_TRUE(again.Connected());
    ASSERT_TRUE(h.status.WaitCount(8));
    ASSERT_TRUE(again.Send(TextPacket(kRequest, QStringLiteral("late"))));
    ASSERT_TRUE(again.Read());

    // Stopping ends every session and reports the server idle, the program still running.
    h.Stop();
    for (int i = 0; i < 8; ++i) {
        if (i == 3) continue;
        EXPECT_TRUE(stations[i]->WaitClosed()) << i;
    }
    const QStringList lines = h.log.Lines();
    EXPECT_EQ(
        testsupport::CountLines(lines, QStringLiteral("TcpServerThreadFunc: Wait until session threads works...")), 1);
    EXPECT_EQ(testsupport::CountLines(lines, QStringLiteral("TcpServerThreadFunc: Session threads completed.")), 1);
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^TcpSessionThreadFunc \\d completed\\.$"))).size(), 9);
    EXPECT_EQ(lines.last(), QStringLiteral("TcpServerThreadFunc completed."));
    EXPECT_EQ(h.sink.Count(QStringLiteral("Сервер TCP запросов остановлен")), 1);
    EXPECT_EQ(h.status.Last(), (Status{TcpServerState::Stopped, 0}));
}

TEST(TcpServerTest, StoppingWithTheProgramPostsNothingAndARestartServesAgain) {
    TcpServerHarness h;
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    h.term.Set();
    h.Stop();
    EXPECT_EQ(h.sink.Count(QStringLiteral("Сервер TCP запросов остановлен")), 0);
    EXPECT_EQ(h.status.Last(), (Status{TcpServerState::Running, 0}));

    // The same object starts again (a settings restart).
    h.term.Reset();
    ASSERT_TRUE(h.server->Start({h.port, AcceptConnection::AnyStation, {}}));
    ASSERT_TRUE(h.sink.WaitFor(h.ListeningText(), 2));
    Station station(h.port);
    ASSERT_TRUE(station.Send(TextPacket(kRequest, QStringLiteral("x"))));
    EXPECT_TRUE(station.Read());
}

TEST(StationAdmissionTest, EntriesMatchTheAddressExactlyAndTheHostNameOrItsFirstLabelIgnoringCase) {
    const QStringList list{QStringLiteral("10.0.0.5"), QStringLiteral("Kassa-1"), QStringLiteral("post.corp.example")};
    struct Case {
        const char* address;
        const char* host;
        bool allowed;
    };
    const Case cases[] = {
        {"10.0.0.5", "", true},
        {"10.0.0.50", "", false},
        {"10.0.0.6", "kassa-1", true},
        {"10.0.0.6", "KASSA-1.corp.example", true},
        {"10.0.0.6", "kassa-10.corp.example", false},
        {"10.0.0.6", "Post.Corp.Example", true},
        {"10.0.0.6", "post", false},  // a full-name entry does not admit the bare name
        {"10.0.0.6", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(management::IsStationAllowed(list, QString::fromLatin1(c.address), QString::fromLatin1(c.host)),
                  c.allowed)
            << c.address << " " << c.host;
    }
    EXPECT_EQ(management::EffectiveAcceptFlag({21077, AcceptConnection::AllowedStationsOnly, {}}),
              AcceptConnection::AnyStation);
}

TEST(TcpServerTest, OnlyStationsOfTheAllowedListAreAdmitted) {
    TcpServerHarness h;
    std::mutex hostLock;
    QString host;
    auto options = TcpServerHarness::Options();
    options.reverseLookup = [&](const QString&) {
        std::lock_guard<std::mutex> lock(hostLock);
        return host;
    };
    auto setHost = [&](const QString& name) {
        std::lock_guard<std::mutex> lock(hostLock);
        host = name;
    };
    h.Start({0, AcceptConnection::AllowedStationsOnly, {QStringLiteral("KassaA")}}, options);
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    auto served = [&] {
        Station station(h.port);
        return station.Send(TextPacket(kRequest, QStringLiteral("hi"))) && station.Read(2s).has_value();
    };
    setHost(QStringLiteral("kassaa.shop.example"));
    EXPECT_TRUE(served());
    setHost(QStringLiteral("KASSAA"));
    EXPECT_TRUE(served());

    setHost(QStringLiteral("kassab.shop.example"));
    {
        Station refused(h.port);
        ASSERT_TRUE(refused.Connected());  // the system accepted it; the server closes it
        EXPECT_TRUE(refused.WaitClosed());
    }
    const QString refusal =
        QStringLiteral("Станция 127.0.0.1 (kassab.shop.example) не содержится в списке разрешенных");
    ASSERT_TRUE(h.sink.WaitFor(refusal));
    EXPECT_EQ(std::get<shell::NotificationIcon>(h.sink.Entries(refusal).front().icon),
              shell::NotificationIcon::Warning);
    EXPECT_EQ(h.sink.Count(QStringLiteral("Подключение с адреса 127.0.0.1 (kassab.shop.example)")), 1);
    EXPECT_EQ(h.log.Count(QStringLiteral("TcpServerThreadFunc: Станция 127.0.0.1 (kassab.shop.example) не содержится в "
                                         "списке разрешенных! Соединение будет закрыто.")),
              1);
    EXPECT_EQ(h.handler.Texts().size(), 2u);

    // An address entry admits a station without a name; an empty list admits everyone.
    h.Stop();
    setHost(QString());
    h.Start({0, AcceptConnection::AllowedStationsOnly, {QStringLiteral("127.0.0.1")}}, options);
    EXPECT_TRUE(served());
    h.Stop();
    h.Start({0, AcceptConnection::AllowedStationsOnly, {}}, options);
    EXPECT_TRUE(served());
}

TEST(TcpServerTest, PacketsAreFramedWhateverTheSegmentsAndTheServerAnswersWithNulTerminatedText) {
    TcpServerHarness h;
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    Station station(h.port);

    // One request in 16 segments is handled once, when complete.
    const QByteArray split = TextPacket(kRequest, QStringLiteral("split request"));
    for (qsizetype i = 0; i < split.size(); i += 2) {
        ASSERT_TRUE(station.Send(split.mid(i, 2)));
        std::this_thread::sleep_for(5ms);
    }
    auto reply = station.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, kReply);
    EXPECT_EQ(reply->Text(), QStringLiteral("reply:split request"));
    // The server's length counts the text and its NUL.
    EXPECT_EQ(reply->data.size(), (QStringLiteral("reply:split request").size() + 1) * 2);
    EXPECT_TRUE(reply->data.endsWith(QByteArray(2, '\0')));
    EXPECT_EQ(h.handler.Texts(), std::vector<QString>{QStringLiteral("split request")});

    // Two requests and a subscription in one segment are answered in order.
    ASSERT_TRUE(station.Send(TextPacket(kRequest, QStringLiteral("one")) + TextPacket(kRequest, QStringLiteral("two")) +
                             TextPacket(kSubscribe, QStringLiteral("all"))));
    reply = station.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Text(), QStringLiteral("reply:one"));
    reply = station.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Text(), QStringLiteral("reply:two"));
    reply = station.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type, kSubscribeReply);
    EXPECT_EQ(reply->Text(), QStringLiteral("subscribed"));

    // The largest accepted packet fills the receive buffer exactly; data without a NUL is handed over as it is.
    ASSERT_TRUE(station.Send(Header(kRequest, 65528) + QByteArray(65528, 'a')));
    reply = station.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(h.handler.Sizes().back(), 65528u);
}

TEST(TcpServerTest, BadPacketsEndOnlyTheirOwnSession) {
    TcpServerHarness h;
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    Station bystander(h.port);
    ASSERT_TRUE(h.status.WaitCount(1));

    {
        // Refused at its header: no data is waited for.
        Station station(h.port);
        ASSERT_TRUE(station.Send(Header(kRequest, 65529)));
        EXPECT_TRUE(station.WaitClosed(2s));
    }
    ASSERT_TRUE(h.status.WaitCount(1));  // the next station gets slot 1 again
    EXPECT_TRUE(h.log.WaitFor(
        QStringLiteral("TcpSessionRecvThreadFunc 1. Принят пакет _C2S_TCP_REQUEST со слишком большой длиной (65529) "
                       "данных. Сеанс будет закрыт.")));
    {
        Station station(h.port);
        ASSERT_TRUE(station.Send(Header(kSubscribe, 0xFFFFFFFF)));
        EXPECT_TRUE(station.WaitClosed(2s));
    }
    ASSERT_TRUE(h.status.WaitCount(1));  // the next station gets slot 1 again
    {
        Station station(h.port);
        ASSERT_TRUE(station.Send(TextPacket(0x00010003, QStringLiteral("?"))));
        EXPECT_TRUE(station.WaitClosed(2s));
    }
    ASSERT_TRUE(h.status.WaitCount(1));  // the next station gets slot 1 again
    const QString unknown = QStringLiteral("Неизвестный пакет запроса от ") + kClient;
    ASSERT_TRUE(h.sink.WaitFor(unknown));
    EXPECT_EQ(std::get<shell::NotificationIcon>(h.sink.Entries(unknown).front().icon), shell::NotificationIcon::Error);
    EXPECT_TRUE(h.log.WaitFor(
        QStringLiteral("TcpSessionRecvThreadFunc 1. Принят неизвестный пакет 00010003. Сеанс будет закрыт.")));
    {
        // An unknown type announcing more than the buffer holds must not leave the session waiting.
        Station station(h.port);
        ASSERT_TRUE(station.Send(Header(0x7FFF0000, 0x00100000)));
        EXPECT_TRUE(station.WaitClosed(2s));
    }
    ASSERT_TRUE(h.status.WaitCount(1));  // the next station gets slot 1 again
    {
        Station station(h.port);
        ASSERT_TRUE(station.Send(TextPacket(kRequest, QStringLiteral("fail"))));
        EXPECT_TRUE(station.WaitClosed(2s));
    }
    EXPECT_TRUE(
        h.log.WaitFor(QStringLiteral("TcpSessionRecvThreadFunc 1. HandleTcpRequest() failed. Сеанс будет закрыт.")));

    ASSERT_TRUE(h.status.WaitCount(1));
    ASSERT_TRUE(bystander.Send(TextPacket(kRequest, QStringLiteral("still here"))));
    const auto reply = bystander.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Text(), QStringLiteral("reply:still here"));
}

TEST(TcpServerTest, APortInUseIsRetriedAtTheRetryPeriodUntilItIsFree) {
    TcpServerHarness h;
    const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(h.port);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(listen(holder, 1), 0);

    auto options = TcpServerHarness::Options();
    options.listenRetryPeriod = 150ms;
    h.server = std::make_unique<management::TcpServer>(
        h.handler, h.sink.Journal(), h.term, [&](TcpServerState s, int n) { h.status(s, n); }, options);
    ASSERT_TRUE(h.server->Start({h.port, AcceptConnection::AnyStation, {}}));
    const QString bindError = QStringLiteral("Ошибка привязки TCP сокета: (10048) Адрес уже используется");
    ASSERT_TRUE(h.sink.WaitFor(bindError, 4));
    const auto posts = h.sink.Entries(bindError);
    EXPECT_EQ(std::get<shell::NotificationIcon>(posts[0].icon), shell::NotificationIcon::Error);
    for (size_t i = 1; i < posts.size(); ++i) EXPECT_GE(posts[i].at - posts[i - 1].at, 140ms);
    EXPECT_GE(
        h.log.Count(QStringLiteral("StartListenServer: Ошибка привязки TCP сокета: (10048) Адрес уже используется")),
        4);

    close(holder);
    ASSERT_TRUE(h.sink.WaitFor(h.ListeningText(), 1, 2s));
    Station station(h.port);
    ASSERT_TRUE(station.Send(TextPacket(kRequest, QStringLiteral("after"))));
    EXPECT_TRUE(station.Read());
}

}  // namespace
