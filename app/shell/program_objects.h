#pragma once
// The process-wide kernel objects of the program: the single-instance guard, the termination
// event every worker waits on, and the channel to the service. Made by the start-up wait before
// the main window exists and closed at the very end. The stop and wake events of the camera,
// the database check and the servers belong to those modules.

#include "platform/instance_lock.h"
#include "platform/sync.h"
#include "settings/svc_channel.h"

#include <memory>

namespace shell {

class ProgramObjects {
public:
    ProgramObjects();
    ProgramObjects(const ProgramObjects&) = delete;
    ProgramObjects& operator=(const ProgramObjects&) = delete;

    // One attempt of the start-up wait: settings::kAttached when every object exists and the
    // channel is open, settings::kServiceNotReady to try again later, settings::kAttachFailed
    // to end start-up. Objects made by an earlier attempt are kept.
    int InitSyncObjects();

    // Closes the channel first, then the event, the instance guard last.
    void Close();

    // hTermEvent: manual reset, set once when the main window is destroyed.
    platform::Event& TermEvent() { return *term_; }
    settings::SvcChannel& Channel() { return *channel_; }

private:
    platform::InstanceLock noDupAppMutex_;
    std::unique_ptr<platform::Event> term_;
    std::unique_ptr<settings::SvcChannel> channel_;
};

}  // namespace shell
