// Writes the systemd unit of the settings service for an installed OstrovidSvc, as the service's own
// -install would write it on that machine. Run at install time (the package's unit is made by it),
// with the default folders: every override variable of the environment is ignored.
// Usage: ostrovid-unit-file SERVICE_PATH OUT_FILE

#include "service/command_line.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

// The unit names the folders the service writes; an override meant for tests must not end up in
// a unit that runs on the installed system.
constexpr const char* kFolderOverrides[] = {"OSTROVID_REGISTRY", "OSTROVID_COMMON_APPDATA", "OSTROVID_SVC_LOG_DIR",
                                            "OSTROVID_AUTOSTART_DIR"};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || argv[1][0] != '/') {
        std::fprintf(stderr, "usage: %s /ABSOLUTE/PATH/OstrovidSvc OUT_FILE\n", argv[0]);
        return 2;
    }
    for (const char* name : kFolderOverrides) ::unsetenv(name);
    QFile out(QString::fromLocal8Bit(argv[2]));
    const QByteArray text = service::UnitFileText(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size() || !out.flush()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
