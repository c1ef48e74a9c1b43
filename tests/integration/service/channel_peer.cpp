// A second program process for the service tests.
//   channel_peer attach            attaches to the service like the program (asking every
//                                  second), prints "attached", then holds on until stdin ends
//   channel_peer connect IP PORT   holds a TCP connection, prints "connected", until stdin ends
//   channel_peer probe             tries to open each channel object, prints "<name> open" or
//                                  "<name> <errno>" per object
//   channel_peer autorun PATH      sends an AutoRun packet with the flag set, prints the reply
//   channel_peer close PID IP PORT sends a CloseTcpSocket packet, prints the reply
// A reply prints as "0" on success, else "<result> <kind> <text>"; "failed <error>" when the
// channel cannot be used.

#include "platform/ipc.h"
#include "platform/sync.h"
#include "settings/channel_packet.h"
#include "settings/svc_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace {

void HoldUntilStdinEnds() {
    char c;
    while (read(STDIN_FILENO, &c, 1) > 0) {
    }
}

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

namespace ch = settings::channel;

// Writes one packet as any member could, through the objects alone, and prints the reply.
int SendPacket(const std::function<void(ch::ChannelArea&)>& write) {
    platform::NamedSharedMemory area;
    platform::NamedEvent request, reply;
    int rc = area.Open(ch::kMapFileName, ch::kAreaSize);
    if (rc == 0) rc = area.Map();
    if (rc == 0) rc = request.Create(ch::kRequestEventName);
    if (rc == 0) rc = reply.Create(ch::kReplyEventName);
    if (rc != 0) {
        std::printf("failed %d\n", rc);
        return 1;
    }
    ch::ChannelArea packet(area.Data(), area.Size());
    packet.Clear(0, 1024);
    write(packet);
    request.Set();
    if (!reply.Wait(10000)) {
        Say("failed timeout");
        return 1;
    }
    if (packet.U32(ch::kResultOffset) == ch::kResultSuccess) {
        Say("0");
        return 0;
    }
    std::printf("%u %u %s\n", packet.U32(ch::kResultOffset), packet.U32(ch::kFailureKindOffset),
                packet.Text(ch::kErrorTextOffset, ch::kErrorTextChars).toUtf8().constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "attach") == 0) {
        platform::Event term(true, false);
        settings::SvcChannel channel(&term);
        int result;
        while ((result = channel.InitSyncObjects()) == settings::kServiceNotReady)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        Say(result == settings::kAttached ? "attached" : "failed");
        HoldUntilStdinEnds();
        channel.Close();
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "connect") == 0) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[3])));
        inet_pton(AF_INET, argv[2], &to.sin_addr);
        Say(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ? "connected" : "failed");
        HoldUntilStdinEnds();
        close(fd);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "probe") == 0) {
        for (const char* name :
             {ch::kMapFileName, ch::kRequestEventName, ch::kReplyEventName, ch::kServiceMutexName, ch::kAppMutexName}) {
            const int fd = open(platform::IpcObjectPath(name).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                std::printf("%s open\n", name);
                close(fd);
            } else {
                std::printf("%s %d\n", name, errno);
            }
        }
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "autorun") == 0) {
        return SendPacket([&](ch::ChannelArea& packet) {
            packet.SetU32(ch::kTypeOffset, static_cast<uint32_t>(ch::PacketType::AutoRunSettings));
            packet.SetU32(ch::autorun::kFlag, 1);
            packet.SetText(ch::autorun::kPath, ch::autorun::kPathChars, QString::fromLocal8Bit(argv[2]));
        });
    }
    if (argc >= 5 && std::strcmp(argv[1], "close") == 0) {
        return SendPacket([&](ch::ChannelArea& packet) {
            packet.SetU32(ch::kTypeOffset, static_cast<uint32_t>(ch::PacketType::CloseTcpSocket));
            packet.SetU32(ch::close_tcp::kPid, static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)));
            const uint32_t address = inet_addr(argv[3]);
            packet.CopyIn(ch::close_tcp::kAddress, &address, sizeof address);
            packet.SetU16(ch::close_tcp::kPort, static_cast<uint16_t>(std::atoi(argv[4])));
        });
    }
    return 2;
}
