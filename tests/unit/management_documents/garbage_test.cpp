#include "app/management/document_handler.h"
#include "documents_test_support.h"

#include <sys/resource.h>

#include <chrono>
#include <random>

namespace {

using management::DocumentHandler;
using management::PacketType;
using namespace testsupport;

// The largest data a client's packet may carry.
constexpr qsizetype kMaxData = 65528;

const QString kSubscription = QStringLiteral(
    "<?xml version='1.0' encoding='UTF-16'?><SubscribeToEvents><Password>pw</Password><EventMask>0x7F</EventMask>"
    "<ListMask>7</ListMask><PreferredImgFormat>1</PreferredImgFormat></SubscribeToEvents>");
const QString kRequest = QStringLiteral(
    "<?xml version='1.0' encoding='UTF-16'?><Request><Password>pw</Password>"
    "<Type ServiceType='3' PreferredImgFormat='2'>CameraInfo</Type></Request>");

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class GarbageTest : public ::testing::Test {
protected:
    GarbageTest() {
        viewport.running = true;
        viewport.frame = cv::Mat(24, 32, CV_8UC3, cv::Scalar(1, 2, 3));
        recognition::SubjectStateRecord subject;
        subject.sureHits = 2;
        subject.personId = 4;
        viewport.subjects = {subject};
    }

    // Feeds the data to both handlers: a document is either refused without a word, or answered
    // with one well-formed reply (a camera-state subscriber also gets one event).
    void Feed(const QByteArray& data) {
        using Clock = std::chrono::steady_clock;
        for (const bool request : {true, false}) {
            session.sent.clear();
            const auto start = Clock::now();
            const bool kept = request ? handler.HandleTcpRequest(session, Bytes(data))
                                      : handler.HandleTcpSubscribeToEvents(session, Bytes(data));
            slowest = std::max(slowest, Clock::now() - start);
            if (!kept) {
                ASSERT_TRUE(session.sent.empty());
                continue;
            }
            ++answered;
            ASSERT_GE(session.sent.size(), 1u);
            ASSERT_LE(session.sent.size(), request ? 1u : 2u);
            EXPECT_EQ(session.sent[0].type,
                      request ? PacketType::_S2C_TCP_REPLY : PacketType::_S2C_TCP_SUBSCRIBE_REPLY);
            for (const SentPacket& packet : session.sent) {
                QDomDocument reply;
                ASSERT_TRUE(reply.setContent(packet.text));
            }
        }
    }

    LogFile log;
    NotificationSink journal;
    FakeViewport viewport;
    platform::Event term{true, false};
    platform::Event serverStop{true, false};
    DocumentHandler handler{QStringLiteral("pw"), journal.journal, viewport, term, serverStop};
    FakeSession session;
    std::mt19937 random{20261210};
    int answered = 0;
    std::chrono::steady_clock::duration slowest{};
};

TEST_F(GarbageTest, RandomBytesAndMutatedDocuments) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 1500; ++i) {
        QByteArray data(std::uniform_int_distribution<int>(0, 3000)(random), '\0');
        for (char& c : data) c = char(byte(random));
        Feed(data);
    }

    // Valid documents with a few bytes flipped, inserted or removed, or cut anywhere (half a
    // character included).
    const QByteArray originals[] = {PacketData(kSubscription, true), PacketData(kRequest)};
    for (const QByteArray& original : originals) {
        for (int i = 0; i < 2500; ++i) {
            QByteArray data = original;
            const int edits = std::uniform_int_distribution<int>(1, 4)(random);
            for (int e = 0; e < edits && !data.isEmpty(); ++e) {
                const qsizetype at = std::uniform_int_distribution<qsizetype>(0, data.size() - 1)(random);
                switch (std::uniform_int_distribution<int>(0, 3)(random)) {
                case 0:
                    data[at] = char(data[at] ^ (1 << std::uniform_int_distribution<int>(0, 7)(random)));
                    break;
                case 1:
                    data.insert(at, char(byte(random)));
                    break;
                case 2:
                    data.remove(at, 1);
                    break;
                default:
                    data.truncate(at);
                    break;
                }
            }
            Feed(data);
        }
        for (qsizetype length = 0; length <= original.size(); ++length) Feed(original.left(length));
    }
    EXPECT_GT(answered, 20);  // some mutations leave the document valid enough to be answered
    EXPECT_LT(slowest, std::chrono::seconds(2));
}

TEST_F(GarbageTest, DeepNestingAndHugeValues) {
    QString open;
    while (open.size() * 2 + 6 < kMaxData) open += QStringLiteral("<a>");
    Feed(PacketData(open));
    QString closed = QStringLiteral("<Request><Password>pw</Password>");
    const int depth = int((kMaxData / 2 - 100) / 7);
    for (int i = 0; i < depth; ++i) closed += QStringLiteral("<a>");
    for (int i = 0; i < depth; ++i) closed += QStringLiteral("</a>");
    Feed(PacketData(closed + QStringLiteral("</Request>")));

    // Values that fill the packet are answered with the error of the field.
    const int room = int(kMaxData / 2 - 200);
    struct Huge {
        QString document;
        QString code;
    };
    const Huge cases[] = {
        {QStringLiteral("<Request><Password>%1</Password><Type ServiceType='1'>CameraInfo</Type></Request>")
             .arg(QString(room, u'p')),
         "1"},
        {QStringLiteral("<Request><Password>pw</Password><Type ServiceType='%1'>CameraInfo</Type></Request>")
             .arg(QString(room, u'9')),
         "3"},
        {QStringLiteral("<SubscribeToEvents><Password>pw</Password><EventMask>0x%1</EventMask></SubscribeToEvents>")
             .arg(QString(room, u'f')),
         "3"},
        {QStringLiteral("<Request><Password>pw</Password><Type X='%1' ServiceType='1'>CameraInfo</Type></Request>")
             .arg(QString(room, u'\x416')),
         ""},
    };
    for (const Huge& c : cases) {
        session.sent.clear();
        const bool request = c.document.startsWith(QStringLiteral("<Request>"));
        const QByteArray data = PacketData(c.document);
        ASSERT_LE(data.size(), kMaxData);
        ASSERT_TRUE(request ? handler.HandleTcpRequest(session, Bytes(data))
                            : handler.HandleTcpSubscribeToEvents(session, Bytes(data)));
        EXPECT_EQ(ChildText(ParseRoot(session.sent.at(0).text), "ErrorCode"), c.code);
    }
    EXPECT_LT(slowest, std::chrono::seconds(2));
}

TEST_F(GarbageTest, EntityExpansionIsRefused) {
    // Nine levels of ten references: a billion "lol"s.
    QString laughs = QStringLiteral("<!DOCTYPE Request [<!ENTITY l0 \"lol\">");
    for (int level = 1; level <= 9; ++level) {
        laughs += QStringLiteral("<!ENTITY l%1 \"").arg(level);
        for (int i = 0; i < 10; ++i) laughs += QStringLiteral("&l%1;").arg(level - 1);
        laughs += QStringLiteral("\">");
    }
    laughs += QStringLiteral("]><Request><Password>&l9;</Password></Request>");
    // One entity just under the parser's own expansion limit, referenced as often as fits: tens of
    // megabytes from one packet if it were expanded.
    QString wide =
        QStringLiteral("<!DOCTYPE Request [<!ENTITY w \"%1\">]><Request><Password>").arg(QString(4000, u'w'));
    while (wide.size() * 2 + 200 < kMaxData) wide += QStringLiteral("&w;");
    wide += QStringLiteral("</Password><Type ServiceType='1'>CameraInfo</Type></Request>");
    // A DTD is refused even when it declares nothing to expand, and so is an external entity.
    const QString external = QStringLiteral(
        "<!DOCTYPE Request [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><Request><Password>pw&x;</Password>"
        "<Type ServiceType='1'>CameraInfo</Type></Request>");
    const QString plain = QStringLiteral(
        "<!DOCTYPE Request><Request><Password>pw</Password><Type ServiceType='1'>CameraInfo</Type></Request>");

    const long before = PeakResidentKiB();
    for (const QString& text : {laughs, wide, external, plain}) {
        session.sent.clear();
        EXPECT_FALSE(handler.HandleTcpRequest(session, Bytes(PacketData(text))));
        EXPECT_TRUE(session.sent.empty());
    }
    EXPECT_LT(PeakResidentKiB() - before, 32 * 1024);
    EXPECT_LT(slowest, std::chrono::seconds(1));
    EXPECT_EQ(
        testsupport::CountLines(log.Lines(), QStringLiteral("HandleTcpRequest() Session 3: Ошибка при разборе XML "
                                                            "запроса: Document type declarations are not "
                                                            "accepted.")),
        4);
}

TEST_F(GarbageTest, SessionsOnSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::atomic<int> replies{0};
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            FakeSession own(t);
            for (int i = 0; i < 150; ++i) {
                const bool request = (i + t) % 2 == 0;
                const QByteArray data = PacketData(request ? kRequest : kSubscription);
                const bool kept = request ? handler.HandleTcpRequest(own, Bytes(data))
                                          : handler.HandleTcpSubscribeToEvents(own, Bytes(data));
                if (kept) ++replies;
            }
            EXPECT_EQ(own.sent.size(), 75u + 2 * 75u);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(replies.load(), 900);
}

}  // namespace
