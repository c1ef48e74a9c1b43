// A service that makes the channel's objects and takes its mutex like OstrovidSvc, prints
// "ready", prints "request" when a packet is announced, never answers, and ends when its stdin
// ends: without releasing the mutex, as a service that dies leaves it.

#include "platform/ipc.h"
#include "settings/channel_packet.h"

#include <unistd.h>

#include <cstdio>

namespace {

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

}  // namespace

int main() {
    using namespace settings::channel;
    platform::NamedSharedMemory area;
    platform::NamedEvent request;
    platform::NamedEvent reply;
    platform::NamedMutex serviceMutex;
    if (area.Create(kMapFileName, kAreaSize) != 0 || area.Map() != 0 || request.Create(kRequestEventName) != 0 ||
        reply.Create(kReplyEventName) != 0 || serviceMutex.Create(kServiceMutexName) != 0 ||
        serviceMutex.Lock(5000) != platform::NamedMutex::LockResult::Acquired) {
        Say("failed");
        return 1;
    }
    Say("ready");
    platform::ReadableFd input(STDIN_FILENO);
    for (;;) {
        if (platform::WaitForAny({&input, &request}, platform::kInfinite) != 1) break;
        Say("request");
    }
    // Ends with the mutex owned: the kernel drops the lock, the owner mark stays.
    _exit(0);
}
