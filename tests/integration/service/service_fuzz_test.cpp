// Garbage in the shared area never crashes the service or makes it read past the area: every
// packet gets exactly one well-formed reply and the service keeps serving. Run it under ASan.

#include "settings/channel_saves.h"
#include "platform/named_socket.h"
#include "tests/integration/service/service_fixture.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <random>

using namespace settings;

namespace {

class ServiceFuzz : public ServiceTest {};

TEST_F(ServiceFuzz, RandomPacketsGetOneWellFormedReplyEach) {
    StartService();
    Attach();
    RawChannel raw;
    ASSERT_TRUE(raw.Open());
    auto area = raw.Area();
    std::mt19937_64 random(20240611);
    const uint32_t types[] = {0,  1,  2,  3,  3,  3,  4,  5,  6,  7,  8,  9,  10, 12, 13,          14,
                              15, 15, 16, 16, 17, 17, 17, 18, 19, 20, 21, 22, 23, 99, 0x80000000u, 0xFFFFFFFFu};
    constexpr int kPackets = 1500;
    int replies = 0;
    for (int i = 0; i < kPackets; ++i) {
        // Random bytes over the largest payload, sometimes text-like so strings reach the store.
        const bool textLike = random() % 2 == 0;
        for (size_t at = 0; at < 70000; at += 8) {
            uint64_t word = random();
            if (textLike) word &= 0x007F007F007F007FULL;
            std::memcpy(area.Data() + at, &word, 8);
        }
        const uint32_t type = types[random() % std::size(types)];
        area.SetU32(0, type);
        switch (random() % 4) {
        case 0:
            area.SetU32(8, 0xFFFFFFFFu);
            area.SetU32(60, 0xFFFFFFFFu);
            break;  // huge counts
        case 1:
            area.SetU32(8, 10);
            area.SetU32(60, static_cast<uint32_t>(random() % 40));
            break;
        default:
            break;
        }
        // A real process to look at, which mostly vouches for the packet as the program does; one
        // that does not costs the service's whole wait for it.
        std::unique_ptr<platform::UniqueFd> vouching;
        if (type == 2) {
            area.SetU32(8, static_cast<uint32_t>(getpid()));
            if (random() % 4 != 0) {
                ASSERT_EQ(platform::SendToNamedSocket(channel::kCloseSocketName, area.Data() + channel::kPayloadOffset,
                                                      channel::payload_size::kCloseTcpSocket, std::chrono::seconds(1),
                                                      &vouching),
                          0);
            }
        }
        raw.Send();
        const int got = raw.Replies(10000, 0);
        ASSERT_GE(got, 1) << "no reply to packet " << i << " of type " << type;
        replies += got;
        const uint32_t result = area.U32(0);
        ASSERT_TRUE(result == 0 || result == 1) << "packet " << i;
        if (result == 1) {
            const uint32_t kind = area.U32(4);
            ASSERT_TRUE(kind == 1 || kind == 2) << "packet " << i;
            if (kind == 2) {
                bool terminated = false;
                for (size_t c = 0; c < 256 && !terminated; ++c) terminated = area.U16(8 + 2 * c) == 0;
                EXPECT_TRUE(terminated) << "packet " << i;
            }
        }
        ASSERT_TRUE(service.Running()) << "the service ended at packet " << i;
    }
    replies += raw.Replies(200, 200);
    EXPECT_EQ(replies, kPackets);
    // Still serving ordinary saves.
    EXPECT_TRUE(SaveWindowPos({1, 2, 3, 4}));
}

}  // namespace
