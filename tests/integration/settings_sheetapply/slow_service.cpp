// A service that makes the channel's objects and takes its mutex like OstrovidSvc, prints "ready",
// and answers every packet after the delay its first argument gives in milliseconds: with
// success, or with a failure text for the packet types that follow. It prints each packet's type
// when the packet arrives and ends when its stdin ends.

#include "platform/ipc.h"
#include "settings/channel_area.h"
#include "settings/channel_packet.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace settings::channel;
    if (argc < 2) return 2;
    const int delayMs = std::atoi(argv[1]);
    std::set<uint32_t> failing;
    for (int i = 2; i < argc; ++i) failing.insert(uint32_t(std::atoi(argv[i])));

    platform::NamedSharedMemory memory;
    platform::NamedEvent request;
    platform::NamedEvent reply;
    platform::NamedMutex serviceMutex;
    if (memory.Create(kMapFileName, kAreaSize) != 0 || memory.Map() != 0 || request.Create(kRequestEventName) != 0 ||
        reply.Create(kReplyEventName) != 0 || serviceMutex.Create(kServiceMutexName) != 0 ||
        serviceMutex.Lock(5000) != platform::NamedMutex::LockResult::Acquired) {
        Say("failed");
        return 1;
    }
    Say("ready");
    platform::ReadableFd input(STDIN_FILENO);
    ChannelArea area(memory.Data(), kAreaSize);
    for (;;) {
        if (platform::WaitForAny({&input, &request}, platform::kInfinite) != 1) break;
        const uint32_t type = area.U32(kTypeOffset);
        Say(std::to_string(type).c_str());
        // Slow, but still ended by the end of stdin.
        if (platform::WaitForAny({&input}, delayMs) == 0) break;
        if (failing.count(type) != 0) {
            area.Clear(0, kReplyClearBytes);
            area.SetU32(kResultOffset, kResultFailure);
            area.SetU32(kFailureKindOffset, kFailureErrorText);
            area.SetText(kErrorTextOffset, kErrorTextChars, u"The store refused the group.");
        } else {
            area.SetU32(kResultOffset, kResultSuccess);
        }
        reply.Set();
    }
    _exit(0);
}
