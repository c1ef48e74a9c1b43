// The document handler behind the TCP server over loopback: a station that pipelines picture
// requests and does not read, and a stranger guessing passwords.

#include "app/management/document_handler.h"
#include "app/management/send_ring.h"
#include "tests/integration/management_net/tcp_harness.h"
#include "tests/unit/management_documents/documents_test_support.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <memory>

namespace {

using namespace mgmt_test;
using Clock = std::chrono::steady_clock;

const QString kPassword = QStringLiteral("pw");

QByteArray RequestPacket(const QString& password, const QString& attributes = QStringLiteral("ServiceType='2'")) {
    return TextPacket(kRequest, QStringLiteral("<Request><Password>%1</Password><Type %2>CameraInfo</Type></Request>")
                                    .arg(password, attributes));
}

QString ErrorCode(const Packet& reply) {
    return testsupport::ParseRoot(reply.Text()).firstChildElement("ErrorCode").text();
}

// The server with the real document handler and a viewport that answers at once.
class DocumentServer {
public:
    DocumentServer() : port(FreePort(SOCK_STREAM)) {}
    ~DocumentServer() { Stop(); }

    void Start() {
        server = std::make_unique<management::TcpServer>(handler, sink.Journal(), term, nullptr,
                                                         TcpServerHarness::Options());
        ASSERT_TRUE(server->Start({port, management::AcceptConnection::AnyStation, {}}));
        ASSERT_TRUE(sink.WaitFor(QStringLiteral("Ожидает TCP запросы по порту: %1").arg(port)));
    }
    void Stop() {
        if (!server) return;
        serverStop.Set();
        server->Stop();
        server.reset();
    }

    uint16_t port;
    TempLog log;
    RecordingSink sink;
    testsupport::FakeViewport viewport;
    platform::Event term{true, false};
    platform::Event serverStop{true, false};
    management::DocumentHandler handler{kPassword, sink.Journal(), viewport, term, serverStop};
    std::unique_ptr<management::TcpServer> server;
};

TEST(TcpDocumentsTest, PipelinedPictureRequestsWaitWithinTheRingsByteLimitAndAreAllAnsweredInTurn) {
    DocumentServer s;
    s.viewport.running = true;
    s.viewport.frame = cv::Mat(480, 640, CV_8UC3);
    cv::randu(s.viewport.frame, 0, 255);
    s.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    // A BMP of the frame is about 2.5 MB as a reply; a dozen would be 30 MB.
    constexpr int kRequests = 12;
    Station station(s.port, 4096);
    QByteArray requests;
    for (int i = 0; i < kRequests; ++i)
        requests += RequestPacket(kPassword, QStringLiteral("ServiceType='1' PreferredImgFormat='2'"));
    ASSERT_TRUE(station.Send(requests));
    ASSERT_TRUE(WaitUntil([&] { return s.viewport.posted >= 3; }));
    std::this_thread::sleep_for(500ms);
    EXPECT_LE(s.server->QueuedBytes(0), management::SendRing::kMaxWaitingBytes);
    EXPECT_LT(s.viewport.posted, kRequests);

    for (int i = 0; i < kRequests; ++i) {
        const auto reply = station.Read(10s);
        ASSERT_TRUE(reply) << i;
        const QDomElement root = testsupport::ParseRoot(reply->Text());
        EXPECT_EQ(root.firstChildElement("ErrorCode").text(), QString()) << i;
        EXPECT_EQ(testsupport::DecodeImage(root.firstChildElement("Camera").firstChildElement("Image").text()).size(),
                  s.viewport.frame.size())
            << i;
    }
    EXPECT_EQ(s.viewport.posted, kRequests);
}

TEST(TcpDocumentsTest, WrongPasswordsAreHeldBackPerAddressJournaledOnceAndEndTheSessionAtTheFifth) {
    DocumentServer s;
    s.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    Station guesser(s.port);
    std::vector<Clock::duration> waits;
    for (int i = 0; i < 4; ++i) {
        const auto start = Clock::now();
        ASSERT_TRUE(guesser.Send(RequestPacket(QStringLiteral("guess%1").arg(i))));
        const auto reply = guesser.Read();
        ASSERT_TRUE(reply) << i;
        EXPECT_EQ(ErrorCode(*reply), QStringLiteral("1"));
        waits.push_back(Clock::now() - start);
    }
    EXPECT_LT(waits[0], 200ms);  // a mistyped password is answered at once
    for (int i = 1; i < 4; ++i) EXPECT_GE(waits[i], i * 250ms - 20ms) << i;

    // Another address is not held back, and its first wrong password is journaled on its own.
    Station other(s.port, 0, "127.0.0.2");
    const auto start = Clock::now();
    ASSERT_TRUE(other.Send(RequestPacket(QStringLiteral("typo"))));
    auto reply = other.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(ErrorCode(*reply), QStringLiteral("1"));
    EXPECT_LT(Clock::now() - start, 200ms);

    ASSERT_TRUE(guesser.Send(RequestPacket(QStringLiteral("guess5"))));
    EXPECT_TRUE(guesser.WaitClosed(4s));
    EXPECT_TRUE(s.log.WaitFor(QStringLiteral(
        "HandleTcpRequest() Session 0: 5 неправильных паролей от 127.0.0.1 (teststation). Сеанс будет закрыт.")));
    EXPECT_EQ(s.sink.Count(QStringLiteral("Неправильный пароль в запросе от 127.0.0.1 (teststation)")), 1);
    EXPECT_EQ(s.sink.Count(QStringLiteral("Неправильный пароль в запросе от 127.0.0.2 (teststation)")), 1);

    // The right password still logs the other station in.
    ASSERT_TRUE(other.Send(RequestPacket(kPassword)));
    reply = other.Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(ErrorCode(*reply), QString());
}

}  // namespace
