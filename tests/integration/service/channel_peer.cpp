// A second program process for the service tests.
//   channel_peer attach            attaches to the service like the program (asking every
//                                  second), prints "attached", then holds on until stdin ends
//   channel_peer connect IP PORT   holds a TCP connection, prints "connected", until stdin ends

#include "platform/sync.h"
#include "settings/svc_channel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    return 2;
}
