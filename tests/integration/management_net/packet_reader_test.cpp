// The receive path's framing under random streams and random segmentation: packets come out
// whole, in order and once, and hostile headers end the stream without reading past the buffer.
// Run it under ASan as well.

#include "app/management/packet_framing.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

using management::PacketReader;
using management::ReadVerdict;

struct Sent {
    uint32_t type;
    QByteArray data;
};

QByteArray Frame(uint32_t type, const QByteArray& data) {
    QByteArray bytes(8, '\0');
    qToLittleEndian<uint32_t>(type, bytes.data());
    qToLittleEndian<uint32_t>(uint32_t(data.size()), bytes.data() + 4);
    return bytes + data;
}

// Feeds the stream in random pieces (as recv() would hand them over) and collects what comes out
// until the stream is used up or refused.
ReadVerdict Feed(const QByteArray& stream, std::mt19937& random, std::vector<Sent>& out) {
    PacketReader reader;
    qsizetype at = 0;
    for (;;) {
        for (;;) {
            const auto next = reader.Next();
            if (next.verdict == ReadVerdict::NeedMore) break;
            if (next.verdict != ReadVerdict::Packet) return next.verdict;
            out.push_back({next.header.type,
                           QByteArray(reinterpret_cast<const char*>(next.data.data()), qsizetype(next.data.size()))});
        }
        if (at == stream.size()) return ReadVerdict::NeedMore;
        const auto space = reader.FreeSpace();
        EXPECT_FALSE(space.empty());
        if (space.empty()) return ReadVerdict::NeedMore;
        const qsizetype piece =
            std::min<qsizetype>({qsizetype(space.size()), stream.size() - at,
                                 qsizetype(random() % 3 == 0 ? 1 + random() % 8 : 1 + random() % 40000)});
        std::memcpy(space.data(), stream.constData() + at, size_t(piece));
        reader.Received(size_t(piece));
        at += piece;
    }
}

TEST(PacketReaderTest, RandomStreamsInRandomSegmentsComeOutPacketByPacket) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 300; ++round) {
        std::vector<Sent> sent;
        QByteArray stream;
        const int packets = 1 + int(random() % 12);
        for (int i = 0; i < packets; ++i) {
            const uint32_t type = random() % 2 ? 0x00010001 : 0x00010002;
            // Mostly small, sometimes the largest accepted size.
            const int size = random() % 10 == 0 ? 65528 : int(random() % 3000);
            QByteArray data(size, '\0');
            for (char& c : data) c = char(random());
            sent.push_back({type, data});
            stream += Frame(type, data);
        }
        // A refused header at the end, or a packet cut short.
        const int ending = int(random() % 4);
        if (ending == 1) stream += Frame(0x00010003, QByteArray(10, 'x'));
        if (ending == 2) stream += Frame(0x00010001, QByteArray()).left(4) + QByteArray("\xF9\xFF\x00\x00", 4);
        if (ending == 3) stream += Frame(0x00010002, QByteArray(100, 'y')).left(60);

        std::vector<Sent> received;
        const ReadVerdict verdict = Feed(stream, random, received);
        ASSERT_EQ(received.size(), sent.size()) << round;
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(received[i].type, sent[i].type);
            EXPECT_EQ(received[i].data, sent[i].data);
        }
        const ReadVerdict expected[] = {ReadVerdict::NeedMore, ReadVerdict::UnknownType, ReadVerdict::TooLong,
                                        ReadVerdict::NeedMore};
        EXPECT_EQ(verdict, expected[ending]) << round;
    }
}

}  // namespace
