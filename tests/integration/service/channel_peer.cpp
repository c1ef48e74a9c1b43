// A second program process for the service tests.
//   channel_peer attach            attaches to the service like the program (asking every
//                                  second), prints "attached", then holds on until stdin ends
//   channel_peer connect IP PORT   holds a TCP connection, prints "connected", until stdin ends
//   channel_peer probe             tries to open each channel object (to connect to the close
//                                  socket), prints "<name> open" or "<name> <errno>" per object
//   channel_peer autorun PATH      sends an AutoRun packet with the flag set, prints the reply
//   channel_peer close PID IP PORT sends a CloseTcpSocket packet, prints the reply
//   channel_peer forge PID IP PORT the same, while it vouches for the packet on the close socket
//                                  under its own name
//   channel_peer ask LOG IP PORT [hold]
//                                  attaches like the program and asks for the reset as the
//                                  program does (its log to LOG), holding its own connection to
//                                  IP:PORT when told; prints "reset" or "refused", then with hold
//                                  the errno its connection reads (0 while it is intact)
// A reply prints as "0" on success, else "<result> <kind> <text>"; "failed <error>" when the
// channel cannot be used.

#include "platform/ipc.h"
#include "platform/log.h"
#include "platform/named_socket.h"
#include "platform/sync.h"
#include "settings/channel_packet.h"
#include "settings/svc_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

int ConnectTcp(const char* address, const char* port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(std::atoi(port)));
    inet_pton(AF_INET, address, &to.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return fd;
    close(fd);
    return -1;
}

// The close packet's fields as channel_peer's arguments give them.
void WriteClosePacket(ch::ChannelArea& packet, const char* pid, const char* address, const char* port) {
    packet.SetU32(ch::kTypeOffset, static_cast<uint32_t>(ch::PacketType::CloseTcpSocket));
    packet.SetU32(ch::close_tcp::kPid, static_cast<uint32_t>(std::strtoul(pid, nullptr, 10)));
    const uint32_t ipv4 = inet_addr(address);
    packet.CopyIn(ch::close_tcp::kAddress, &ipv4, sizeof ipv4);
    packet.SetU16(ch::close_tcp::kPort, static_cast<uint16_t>(std::atoi(port)));
}

// As the program, with its own channel and the real close command.
int Ask(const char* log, const char* address, const char* port, bool hold) {
    platform::SetLogFile(QString::fromLocal8Bit(log), QString::fromLocal8Bit(log) + QStringLiteral(".1"));
    const int camera = hold ? ConnectTcp(address, port) : -1;
    if (hold && camera < 0) {
        Say("failed connect");
        return 1;
    }
    platform::Event term(true, false);
    settings::SvcChannel channel(&term);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    int result;
    while ((result = channel.InitSyncObjects()) == settings::kServiceNotReady &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (result != settings::kAttached) {
        Say("failed attach");
        return 1;
    }
    settings::SetProgramChannel(&channel);
    const bool reset = settings::SendCloseSocketCommand(inet_addr(address), static_cast<uint16_t>(std::atoi(port)));
    settings::SetProgramChannel(nullptr);
    std::printf("%s", reset ? "reset" : "refused");
    if (hold) {
        char byte;
        std::printf(" %d", recv(camera, &byte, 1, MSG_DONTWAIT) < 0 && errno != EAGAIN ? errno : 0);
        close(camera);
    }
    Say("");
    channel.Close();
    return 0;
}

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
        const int fd = ConnectTcp(argv[2], argv[3]);
        Say(fd >= 0 ? "connected" : "failed");
        HoldUntilStdinEnds();
        if (fd >= 0) close(fd);
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
        sockaddr_un to{};
        to.sun_family = AF_UNIX;
        platform::IpcObjectPath(ch::kCloseSocketName).copy(to.sun_path, sizeof to.sun_path - 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0)
            std::printf("%s open\n", ch::kCloseSocketName);
        else
            std::printf("%s %d\n", ch::kCloseSocketName, errno);
        close(fd);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "autorun") == 0) {
        return SendPacket([&](ch::ChannelArea& packet) {
            packet.SetU32(ch::kTypeOffset, static_cast<uint32_t>(ch::PacketType::AutoRunSettings));
            packet.SetU32(ch::autorun::kFlag, 1);
            packet.SetText(ch::autorun::kPath, ch::autorun::kPathChars, QString::fromLocal8Bit(argv[2]));
        });
    }
    if (argc >= 5 && std::strcmp(argv[1], "close") == 0)
        return SendPacket([&](ch::ChannelArea& packet) { WriteClosePacket(packet, argv[2], argv[3], argv[4]); });
    if (argc >= 5 && std::strcmp(argv[1], "forge") == 0) {
        std::vector<uint8_t> bytes(ch::kReplyClearBytes, 0);
        ch::ChannelArea fields(bytes.data(), bytes.size());
        WriteClosePacket(fields, argv[2], argv[3], argv[4]);
        std::unique_ptr<platform::UniqueFd> vouching;
        if (const int rc = platform::SendToNamedSocket(ch::kCloseSocketName, bytes.data() + ch::kPayloadOffset, 12,
                                                       std::chrono::seconds(1), &vouching);
            rc != 0) {
            std::printf("failed %d\n", rc);
            return 1;
        }
        return SendPacket([&](ch::ChannelArea& packet) { WriteClosePacket(packet, argv[2], argv[3], argv[4]); });
    }
    if (argc >= 5 && std::strcmp(argv[1], "ask") == 0)
        return Ask(argv[2], argv[3], argv[4], argc >= 6 && std::strcmp(argv[5], "hold") == 0);
    return 2;
}
