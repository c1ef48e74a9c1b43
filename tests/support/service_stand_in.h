#pragma once
// What a test's stand-in for OstrovidSvc shares: the channel's objects made and the service mutex
// taken as the service does it, and one line at a time to the test on stdout.
// Threads: the stand-in's one thread. Owns: the objects, for the life of the process.

#include "platform/ipc.h"
#include "settings/channel_packet.h"

#include <cstdio>

namespace test_support {

inline void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

struct ServiceStandIn {
    platform::NamedSharedMemory area;
    platform::NamedEvent request;
    platform::NamedEvent reply;
    platform::NamedMutex serviceMutex;

    // Makes and maps the objects and takes the mutex; says "ready", or "failed" and answers false.
    bool Start() {
        using namespace settings::channel;
        const bool made = area.Create(kMapFileName, kAreaSize) == 0 && area.Map() == 0 &&
                          request.Create(kRequestEventName) == 0 && reply.Create(kReplyEventName) == 0 &&
                          serviceMutex.Create(kServiceMutexName) == 0 &&
                          serviceMutex.Lock(5000) == platform::NamedMutex::LockResult::Acquired;
        Say(made ? "ready" : "failed");
        return made;
    }
};

}  // namespace test_support
