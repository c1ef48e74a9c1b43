// A service that makes the channel's objects and takes its mutex like OstrovidSvc, prints "ready",
// and answers every packet after the delay its first argument gives in milliseconds: with
// success, or with a failure text for the packet types that follow. It prints each packet's type
// when the packet arrives and ends when its stdin ends.

#include "settings/channel_area.h"
#include "tests/support/service_stand_in.h"

#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

int main(int argc, char** argv) {
    using namespace settings::channel;
    if (argc < 2) return 2;
    const int delayMs = std::atoi(argv[1]);
    std::set<uint32_t> failing;
    for (int i = 2; i < argc; ++i) failing.insert(uint32_t(std::atoi(argv[i])));

    test_support::ServiceStandIn service;
    if (!service.Start()) return 1;
    platform::ReadableFd input(STDIN_FILENO);
    ChannelArea area(service.area.Data(), kAreaSize);
    for (;;) {
        if (platform::WaitForAny({&input, &service.request}, platform::kInfinite) != 1) break;
        const uint32_t type = area.U32(kTypeOffset);
        test_support::Say(std::to_string(type).c_str());
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
        service.reply.Set();
    }
    _exit(0);
}
