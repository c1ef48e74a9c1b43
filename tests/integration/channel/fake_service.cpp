// A service that makes the channel's objects and takes its mutex like OstrovidSvc, prints
// "ready", prints "request" when a packet is announced, never answers, and ends when its stdin
// ends: without releasing the mutex, as a service that dies leaves it.

#include "tests/support/service_stand_in.h"

#include <unistd.h>

int main() {
    test_support::ServiceStandIn service;
    if (!service.Start()) return 1;
    platform::ReadableFd input(STDIN_FILENO);
    for (;;) {
        if (platform::WaitForAny({&input, &service.request}, platform::kInfinite) != 1) break;
        test_support::Say("request");
    }
    // Ends with the mutex owned: the kernel drops the lock, the owner mark stays.
    _exit(0);
}
