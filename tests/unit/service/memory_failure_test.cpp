// The channel thread when an allocation fails: the packet gets "Memory Allocation Error." and the
// thread serves the next one.

#include "platform/ipc.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "platform/tcpreset.h"
#include "service/app_comm.h"
#include "settings/channel_packet.h"
#include "settings/registry_names.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"
#include "tests/support/loopback.h"
#include "tests/unit/service/failing_allocation.h"
#include "tests/unit/service/requester_support.h"
#include "tests/unit/service/service_folder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

namespace ch = settings::channel;
using ch::ChannelArea;

namespace {

class MemoryFailure : public testsupport::ServiceFolder {
protected:
    void TearDown() override { testsupport::StopFailingAllocations(); }
};

// The service's objects in a private namespace, its channel thread running on them.
class ChannelThread {
public:
    explicit ChannelThread(const QString& storePath) : ns_(testsupport::UseFreshIpcNamespace("tmem")) {
        ok_ = area_.Create(ch::kMapFileName, ch::kAreaSize) == 0 && request_.Create(ch::kRequestEventName) == 0 &&
              reply_.Create(ch::kReplyEventName) == 0 && (requesters_ = testsupport::MakeCloseRequesters());
        if (ok_)
            thread_ = std::thread(
                service::AppCommThreadFunc,
                service::AppCommObjects{&term_, &request_, &reply_, &area_, storePath, requesters_.get()});
    }
    ~ChannelThread() {
        term_.Set();
        if (thread_.joinable()) thread_.join();
        requesters_.reset();
        area_.Close(false);
        testsupport::RemoveIpcObjects(ns_);
    }
    bool Ok() const { return ok_; }

    // Writes a packet of one 32-bit value, waits for the reply and answers the reply area.
    std::vector<uint8_t> Exchange(ch::PacketType type, uint32_t value) {
        std::vector<uint8_t> bytes(ch::kReplyClearBytes, 0xAB);
        ChannelArea packet(bytes.data(), bytes.size());
        packet.SetU32(ch::kTypeOffset, static_cast<uint32_t>(type));
        packet.SetU32(ch::kPayloadSizeOffset, 4);
        packet.SetU32(ch::kSingleValue, value);
        EXPECT_EQ(area_.Write(0, bytes.data(), bytes.size()), 0);
        request_.Set();
        EXPECT_TRUE(reply_.Wait(10000));
        EXPECT_EQ(area_.Read(0, bytes.data(), bytes.size()), 0);
        return bytes;
    }

private:
    std::string ns_;
    bool ok_ = false;
    platform::Event term_{true, false};
    platform::NamedSharedMemory area_;
    platform::NamedEvent request_, reply_;
    std::unique_ptr<service::CloseRequesters> requesters_;
    std::thread thread_;
};

TEST_F(MemoryFailure, APacketWithoutMemoryIsAnsweredAndTheNextOneServed) {
    ChannelThread channel(storePath);
    ASSERT_TRUE(channel.Ok());
    // The service's copy of the area is the largest piece a packet takes.
    testsupport::FailAllocationsFrom(ch::kAreaSize / 2);
    std::vector<uint8_t> bytes = channel.Exchange(ch::PacketType::AppWinowMaximizedState, 1);
    testsupport::StopFailingAllocations();
    ChannelArea reply(bytes.data(), bytes.size());
    EXPECT_GE(testsupport::RefusedAllocations(), 1);
    EXPECT_EQ(reply.U32(ch::kResultOffset), ch::kResultFailure);
    EXPECT_EQ(reply.U32(ch::kFailureKindOffset), ch::kFailureErrorText);
    EXPECT_EQ(reply.Text(ch::kErrorTextOffset, ch::kErrorTextChars), "Memory Allocation Error.");
    for (size_t i = ch::kErrorTextOffset + 2 * 25; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_TRUE(Log().contains("HandleApp2SvcPacket(): Memory Allocation Error."));

    bytes = channel.Exchange(ch::PacketType::AppWinowMaximizedState, 1);
    EXPECT_EQ(ChannelArea(bytes.data(), bytes.size()).U32(ch::kResultOffset), ch::kResultSuccess);
    platform::RegistryStore store(storePath);
    ASSERT_EQ(store.Load(), 0);
    uint32_t maximized = 0, size = sizeof maximized;
    EXPECT_EQ(store.QueryValue(settings::regnames::kAppKey, settings::regnames::app::kMaximized, nullptr, &maximized,
                               &size),
              0);
    EXPECT_EQ(maximized, 1u);
}

TEST_F(MemoryFailure, TheConnectionTableWithoutMemoryGivesTheCommandsOwnAnswer) {
    // This process plays the program and holds a connection, so the table has a row to take.
    ::setenv("OSTROVID_PROGRAM_PATH", platform::ProgramFilePath().toLocal8Bit().constData(), 1);
    uint16_t port = 0;
    const int listener = testsupport::ListenOnLoopback(&port);
    ASSERT_GE(listener, 0);
    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);

    std::vector<uint8_t> bytes(ch::kAreaSize, 0xAB);
    ChannelArea packet(bytes.data(), bytes.size());
    packet.SetU32(ch::kTypeOffset, static_cast<uint32_t>(ch::PacketType::CloseTcpSocket));
    packet.SetU32(ch::close_tcp::kPid, static_cast<uint32_t>(getpid()));
    const uint32_t address = htonl(INADDR_LOOPBACK);
    packet.CopyIn(ch::close_tcp::kAddress, &address, sizeof address);
    packet.SetU16(ch::close_tcp::kPort, 9);
    const std::string ns = testsupport::UseFreshIpcNamespace("tmem");
    const auto requesters = testsupport::MakeCloseRequesters();
    ASSERT_TRUE(requesters);
    const auto vouching = testsupport::Vouch(packet);
    testsupport::FailNextAllocationOf(sizeof(platform::TcpConnectionRow));
    const service::Reply reply = service::HandleApp2SvcPacket(packet, storePath, *requesters);
    testsupport::StopFailingAllocations();
    testsupport::RemoveIpcObjects(ns);
    ::unsetenv("OSTROVID_PROGRAM_PATH");
    close(client);
    close(listener);

    EXPECT_EQ(testsupport::RefusedAllocations(), 1);
    ChannelArea answer(const_cast<uint8_t*>(reply.data()), reply.size());
    EXPECT_EQ(answer.U32(ch::kResultOffset), ch::kResultFailure);
    EXPECT_EQ(answer.U32(ch::kFailureKindOffset), ch::kFailureErrorText);
    EXPECT_EQ(answer.Text(ch::kErrorTextOffset, ch::kErrorTextChars), "Memory Allocation Error.");
    EXPECT_EQ(testsupport::CountLines(Log(), "HandleCloseTcpSocketCommand(): Memory Allocation Error."), 2);
}

}  // namespace
