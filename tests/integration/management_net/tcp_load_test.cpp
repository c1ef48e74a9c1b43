// The send ring and the rule that no producer waits on a client; a station that stops reading
// among stations that read; garbage and hostile framing over real sockets.

#include "app/management/send_ring.h"
#include "tests/integration/management_net/tcp_harness.h"

#include <gtest/gtest.h>

#include <QDir>

#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace mgmt_test;
using management::QueueResult;
using management::SendRing;
using management::WhenQueueFull;

TEST(SendRingTest, AFullRingDropsOrWaitsForRoomUntilTheSessionCloses) {
    SendRing ring;
    platform::Event closing(true, false);
    constexpr int kWaiting = SendRing::kEntries - 1;
    for (int i = 0; i < kWaiting; ++i)
        ASSERT_EQ(ring.Queue(QByteArray::number(i), WhenQueueFull::Drop, closing), QueueResult::Queued);
    EXPECT_EQ(ring.Queue("lost", WhenQueueFull::Drop, closing), QueueResult::DroppedFirstOfBurst);
    EXPECT_EQ(ring.Queue("lost", WhenQueueFull::Drop, closing), QueueResult::Dropped);
    EXPECT_EQ(ring.DroppedPackets(), 2u);

    // A waiting producer gets in as soon as the oldest packet has gone.
    std::atomic<bool> queued{false};
    std::thread producer([&] { queued = ring.Queue("waited", WhenQueueFull::Wait, closing) == QueueResult::Queued; });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(queued);
    ASSERT_NE(ring.Tail(), nullptr);
    EXPECT_EQ(*ring.Tail(), "0");
    ring.AdvanceTail();
    producer.join();
    EXPECT_TRUE(queued);
    // Full again: a new burst of losses starts.
    EXPECT_EQ(ring.Queue("lost", WhenQueueFull::Drop, closing), QueueResult::DroppedFirstOfBurst);

    // Closing releases a producer that waits and refuses everything after.
    std::atomic<int> result{-1};
    std::thread blocked([&] { result = int(ring.Queue("late", WhenQueueFull::Wait, closing)); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result, -1);
    closing.Set();
    blocked.join();
    EXPECT_EQ(result, int(QueueResult::Closing));
    EXPECT_EQ(ring.Queue("late", WhenQueueFull::Drop, closing), QueueResult::Closing);

    std::vector<QByteArray> order;
    while (const QByteArray* packet = ring.Tail()) {
        order.push_back(*packet);
        ring.AdvanceTail();
    }
    std::vector<QByteArray> expected;
    for (int i = 1; i < kWaiting; ++i) expected.push_back(QByteArray::number(i));
    expected.push_back("waited");
    EXPECT_EQ(order, expected);
    ring.Clear();
    EXPECT_EQ(ring.DroppedPackets(), 0u);
}

TEST(SendRingTest, EventsStopAtTheByteLimitWhileRepliesStillGoIn) {
    SendRing ring;
    platform::Event closing(true, false);
    const QByteArray big(SendRing::kMaxDroppableBytes / 2, 'x');
    EXPECT_EQ(ring.Queue(big, WhenQueueFull::Drop, closing), QueueResult::Queued);
    EXPECT_EQ(ring.Queue(big, WhenQueueFull::Drop, closing), QueueResult::Queued);
    EXPECT_EQ(ring.Queue("one more", WhenQueueFull::Drop, closing), QueueResult::DroppedFirstOfBurst);
    EXPECT_EQ(ring.Queue("reply", WhenQueueFull::Wait, closing), QueueResult::Queued);
    // An event larger than the limit still goes into an empty ring.
    ring.Clear();
    EXPECT_EQ(ring.Queue(QByteArray(SendRing::kMaxDroppableBytes + 1, 'y'), WhenQueueFull::Drop, closing),
              QueueResult::Queued);
    ring.AdvanceTail();
    EXPECT_EQ(ring.Queue(big, WhenQueueFull::Drop, closing), QueueResult::Queued);
}

TEST(SendRingTest, RepliesWaitAtTheirByteLimitUnlessTheRingIsEmpty) {
    SendRing ring;
    platform::Event closing(true, false);
    const QByteArray picture(SendRing::kMaxWaitingBytes / 3, 'p');
    ASSERT_EQ(ring.Queue(picture, WhenQueueFull::Wait, closing), QueueResult::Queued);
    ASSERT_EQ(ring.Queue(picture, WhenQueueFull::Wait, closing), QueueResult::Queued);
    ASSERT_EQ(ring.Queue(picture, WhenQueueFull::Wait, closing), QueueResult::Queued);
    EXPECT_EQ(ring.QueuedBytes(), 3 * picture.size());

    // The fourth would pass the limit: it waits until a packet has gone, whatever the free entries.
    std::atomic<bool> queued{false};
    std::thread producer([&] { queued = ring.Queue(picture, WhenQueueFull::Wait, closing) == QueueResult::Queued; });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(queued);
    ring.AdvanceTail();
    producer.join();
    EXPECT_TRUE(queued);
    EXPECT_EQ(ring.QueuedBytes(), 3 * picture.size());

    // A reply larger than the limit goes only into an empty ring.
    ring.Clear();
    const QByteArray huge(SendRing::kMaxWaitingBytes + 1, 'h');
    ASSERT_EQ(ring.Queue(huge, WhenQueueFull::Wait, closing), QueueResult::Queued);
    std::atomic<int> result{-1};
    std::thread blocked([&] { result = int(ring.Queue("small", WhenQueueFull::Wait, closing)); });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(result, -1);
    closing.Set();
    blocked.join();
    EXPECT_EQ(result, int(QueueResult::Closing));
}

// Threads of this process.
int ThreadCount() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

QString EventText(int i) { return QStringLiteral("event:%1:").arg(i) + QString(16000, QLatin1Char('x')); }

TEST(TcpServerLoadTest, AStationThatStopsReadingLosesItsEventsWhileTheOthersGetEveryOneAndNoBroadcastWaits) {
    TcpServerHarness h;
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    Station silent(h.port, 4096);  // slot 0; never reads but the one reply to its login
    ASSERT_TRUE(h.status.WaitCount(1));
    ASSERT_TRUE(silent.Send(TextPacket(kSubscribe, QStringLiteral("login"))));
    ASSERT_TRUE(silent.Read());
    constexpr int kReaders = 3;
    constexpr int kEvents = 80;
    std::vector<std::unique_ptr<Station>> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.push_back(std::make_unique<Station>(h.port));
        ASSERT_TRUE(readers.back()->Send(TextPacket(kSubscribe, QStringLiteral("login"))));
        ASSERT_TRUE(readers.back()->Read());
    }
    ASSERT_TRUE(h.status.WaitCount(1 + kReaders));

    std::atomic<int> received[kReaders] = {};
    std::atomic<bool> inOrder{true};
    std::vector<std::thread> readerThreads;
    for (int r = 0; r < kReaders; ++r) {
        readerThreads.emplace_back([&, r] {
            for (int i = 0; i < kEvents; ++i) {
                const auto packet = readers[r]->Read(10s);
                if (!packet || packet->type != kEvent || packet->Text() != EventText(i)) {
                    inOrder = false;
                    return;
                }
                received[r] = i + 1;
            }
        });
    }

    std::chrono::steady_clock::duration longest{};
    for (int i = 0; i < kEvents; ++i) {
        const QString text = EventText(i);
        const auto start = std::chrono::steady_clock::now();
        h.server->ForEachActiveSession([&](management::Session& session) {
            session.SendTcpPacket(management::PacketType::_S2C_TCP_EVENT, text, WhenQueueFull::Drop);
        });
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
        // The readers keep up, so only the silent station can lose anything.
        ASSERT_TRUE(WaitUntil([&] {
            for (auto& n : received) {
                if (n < i + 1) return !inOrder;
            }
            return true;
        })) << i;
        ASSERT_TRUE(inOrder) << i;
    }
    for (auto& t : readerThreads) t.join();

    EXPECT_LT(longest, 1s);
    EXPECT_GT(h.server->DroppedPackets(0), 0u);
    for (int slot = 1; slot <= kReaders; ++slot) EXPECT_EQ(h.server->DroppedPackets(slot), 0u) << slot;
    // Logged once for the whole burst.
    EXPECT_EQ(h.log.Lines().filter(QStringLiteral("SendTcpPacket() Session 0:")).size(), 1);

    // A request of the silent station holds its own receive thread (the reply waits for room);
    // the others are still served, and the session ends as soon as the station goes away.
    ASSERT_TRUE(silent.Send(TextPacket(kRequest, QStringLiteral("never read"))));
    ASSERT_TRUE(WaitUntil([&] { return h.handler.Texts().size() == 1 + kReaders + 1; }));
    ASSERT_TRUE(readers[0]->Send(TextPacket(kRequest, QStringLiteral("served"))));
    const auto reply = readers[0]->Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Text(), QStringLiteral("reply:served"));
    silent.Close();
    EXPECT_TRUE(h.status.WaitCount(kReaders, 3s));
    EXPECT_TRUE(h.sink.WaitFor(QStringLiteral("Закрыто соединение с 127.0.0.1 (teststation)")));
}

// Fills the ring of the station in slot 0, which never reads, until it loses an event.
void FillSilentStation(TcpServerHarness& h) {
    const QString text = EventText(0);
    for (int i = 0; i < 200 && h.server->DroppedPackets(0) == 0; ++i) {
        h.server->ForEachActiveSession([&](management::Session& session) {
            session.SendTcpPacket(management::PacketType::_S2C_TCP_EVENT, text, WhenQueueFull::Drop);
        });
        std::this_thread::sleep_for(2ms);
    }
}

TEST(TcpServerLoadTest, AReplyWaitingForRoomIsReleasedWhenTheServerStops) {
    TcpServerHarness h;
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    Station silent(h.port, 4096);
    ASSERT_TRUE(h.status.WaitCount(1));
    FillSilentStation(h);
    ASSERT_GT(h.server->DroppedPackets(0), 0u);
    ASSERT_TRUE(silent.Send(TextPacket(kRequest, QStringLiteral("never read"))));
    ASSERT_TRUE(WaitUntil([&] { return h.handler.Texts().size() == 1; }));

    const auto stopStart = std::chrono::steady_clock::now();
    h.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 2s);
    EXPECT_EQ(h.log.Count(QStringLiteral("TcpSessionRecvThreadFunc 0 completed.")), 1);
}

TEST(TcpServerLoadTest, GarbageFromManyStationsLeavesTheServerServing) {
    TcpServerHarness h;
    const int threadsBefore = ThreadCount();
    h.Start();
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    Station slow(h.port);
    ASSERT_TRUE(h.status.WaitCount(1));
    constexpr int kStations = 4;
    constexpr int kRounds = 30;
    std::vector<std::thread> attackers;
    for (int a = 0; a < kStations; ++a) {
        attackers.emplace_back([&, a] {
            std::mt19937 random(uint32_t(1000 + a));
            for (int round = 0; round < kRounds; ++round) {
                Station station(h.port);
                if (!station.Connected()) continue;
                QByteArray bytes;
                switch (round % 4) {
                case 0:  // plain noise
                    break;
                case 1:  // a request whose announced length may be anything
                    bytes = Header(kRequest, random());
                    break;
                case 2:  // a plausible packet cut short
                    bytes = Header(round % 8 == 2 ? kRequest : kSubscribe, random() % 65529);
                    break;
                case 3:  // a valid header, noise as its text
                    bytes = Header(kRequest, 2000);
                    break;
                }
                const int noise = int(random() % 70000);
                for (int i = 0; i < noise; ++i) bytes.append(char(random()));
                station.Send(bytes);
                if (round % 3 == 0) station.Read(20ms);
            }
        });
    }

    // Meanwhile one station sends a request one byte at a time: about 10,000 segments.
    const QByteArray request = TextPacket(kRequest, QString(4996, QLatin1Char('s')));
    ASSERT_EQ(request.size(), 10002);
    for (char byte : request) ASSERT_TRUE(slow.Send(QByteArray(1, byte)));
    const auto reply = slow.Read(10s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->Text(), QStringLiteral("reply:") + QString(4996, QLatin1Char('s')));

    for (auto& t : attackers) t.join();
    slow.Close();
    ASSERT_TRUE(h.status.WaitCount(0, 10s));
    Station after(h.port);
    ASSERT_TRUE(after.Send(TextPacket(kRequest, QStringLiteral("after"))));
    const auto last = after.Read();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Text(), QStringLiteral("reply:after"));
    EXPECT_TRUE(h.log.Lines().filter(QStringLiteral("error ret code")).isEmpty());
    // Every ended session took its three threads with it: what remains are the server thread and
    // the one session still open.
    after.Close();
    ASSERT_TRUE(h.status.WaitCount(0));
    EXPECT_EQ(ThreadCount(), threadsBefore + 1);
}

}  // namespace
