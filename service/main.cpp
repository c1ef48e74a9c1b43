// OstrovidSvc: the settings service of Ostrovid.

#include "service/command_line.h"
#include "service/service_host.h"

#include <cstdio>

int main(int argc, char** argv) {
    using service::Command;
    switch (service::ParseCommandLine(argc, argv)) {
    case Command::Install:
        // A setup step that failed has said why; the command fails.
        if (service::InstallService() == service::InstallOutcome::SetupFailed) return 1;
        break;
    case Command::Remove:
        service::RemoveService();
        break;
    case Command::Debug:
        service::ServiceMain(true);
        break;
    case Command::Dispatch: {
        // Printed also when systemd starts the program, where nobody reads it.
        const QByteArray usage = service::UsageText();
        std::fwrite(usage.constData(), 1, static_cast<size_t>(usage.size()), stdout);
        std::fflush(stdout);
        service::RunServiceDispatcher();
        break;
    }
    }
    return 0;
}
