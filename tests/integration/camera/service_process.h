#pragma once
// OstrovidSvc run in its console mode for a test, with its own object namespace, store and data
// folder, and this process attached to it as the program's end of the channel.

#include "platform/sync.h"
#include "settings/svc_channel.h"

#include <QTemporaryDir>
#include <memory>

namespace camera_test {

class ServiceProcess {
public:
    ServiceProcess() = default;
    ~ServiceProcess() { Stop(); }
    // Starts the service binary the build made and attaches to it; false when there is none or
    // it does not come up within 10 s.
    bool Start();
    void Stop();

private:
    QTemporaryDir dir_;
    int pid_ = -1;
    platform::Event term_{true, false};
    std::unique_ptr<settings::SvcChannel> channel_;
};

}  // namespace camera_test
