#pragma once
// A TCP server under test with everything it talks to: a packet handler that records the packets
// and answers each with a reply, the journal, the status reports and the terminate event.

#include "app/management/tcp_server.h"
#include "tests/integration/management_net/net_test_support.h"

#include <gtest/gtest.h>

#include <QString>

#include <memory>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

namespace mgmt_test {

// The text of a packet's data as the handler sees it.
inline QString DataText(std::span<const std::byte> data) {
    Packet packet{0, QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()))};
    return packet.Text();
}

// Answers a request with "reply:" + its text and a subscription with "subscribed"; the request
// text "fail" makes it report failure. Every document logs the session in but a request whose
// text starts with "anonymous".
class EchoHandler : public management::PacketHandler {
public:
    bool HandleTcpRequest(management::Session& session, std::span<const std::byte> data) override {
        const QString text = DataText(data);
        Record(text, data.size());
        if (text == QStringLiteral("fail")) return false;
        if (!text.startsWith(QStringLiteral("anonymous")) && session.LogIn() != management::LoginResult::Station)
            return false;
        return session.SendTcpPacket(management::PacketType::_S2C_TCP_REPLY, QStringLiteral("reply:") + text,
                                     management::WhenQueueFull::Wait);
    }
    bool HandleTcpSubscribeToEvents(management::Session& session, std::span<const std::byte> data) override {
        Record(DataText(data), data.size());
        if (session.LogIn() != management::LoginResult::Station) return false;
        session.SetSubscription({0xFF, 0x7, management::ImageFormat::Png});
        return session.SendTcpPacket(management::PacketType::_S2C_TCP_SUBSCRIBE_REPLY, QStringLiteral("subscribed"),
                                     management::WhenQueueFull::Wait);
    }

    std::vector<QString> Texts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }
    std::vector<size_t> Sizes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sizes_;
    }

private:
    void Record(const QString& text, size_t size) {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
        sizes_.push_back(size);
    }

    mutable std::mutex mutex_;
    std::vector<QString> texts_;
    std::vector<size_t> sizes_;
};

struct Status {
    management::TcpServerState state;
    int count;
    bool operator==(const Status&) const = default;
};

class StatusRecorder {
public:
    void operator()(management::TcpServerState state, int count) {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back({state, count});
    }
    std::vector<Status> Seen() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }
    std::optional<Status> Last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (seen_.empty()) return std::nullopt;
        return seen_.back();
    }
    bool WaitCount(int count, std::chrono::milliseconds timeout = 5s) const {
        return WaitUntil(
            [&] {
                const auto last = Last();
                return last && last->state == management::TcpServerState::Running && last->count == count;
            },
            timeout);
    }

private:
    mutable std::mutex mutex_;
    std::vector<Status> seen_;
};

constexpr char16_t kTestHost[] = u"teststation";
// The addresses the stations of the tests connect from.
inline const QStringList kLoopbackAddresses{QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2"),
                                            QStringLiteral("127.0.0.3")};

class TcpServerHarness {
public:
    TcpServerHarness() : port(FreePort(SOCK_STREAM)) {}
    ~TcpServerHarness() { Stop(); }

    // Starts the server on `port`; returns when it listens.
    void Start(management::TcpServerSettings settings = {}, management::TcpServerOptions options = Options()) {
        settings.tcpPort = port;
        server = std::make_unique<management::TcpServer>(
            handler, sink.Journal(), term, [this](management::TcpServerState s, int n) { status(s, n); },
            std::move(options));
        ASSERT_TRUE(server->Start(settings));
        ASSERT_TRUE(sink.WaitFor(ListeningText(), ++listening_));
    }
    void Stop() {
        if (server) server->Stop();
    }

    static management::TcpServerOptions Options() {
        management::TcpServerOptions options;
        options.reverseLookup = [](const QString&) { return QString::fromUtf16(kTestHost); };
        options.forwardLookup = [](const QString&) { return kLoopbackAddresses; };
        return options;
    }
    // The test's options with one of its limits changed.
    template <class Value>
    static management::TcpServerOptions Options(Value management::TcpServerOptions::*limit, Value value) {
        management::TcpServerOptions options = Options();
        options.*limit = value;
        return options;
    }
    QString ListeningText() const { return QStringLiteral("Ожидает TCP запросы по порту: %1").arg(port); }

    uint16_t port;
    TempLog log;
    RecordingSink sink;
    EchoHandler handler;
    platform::Event term{true, false};
    StatusRecorder status;
    std::unique_ptr<management::TcpServer> server;

private:
    int listening_ = 0;
};

}  // namespace mgmt_test
