#include "service/event_log.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace service {

namespace {

constexpr int kFacilityDaemon = 3;

int Severity(EventType type) {
    switch (type) {
    case EventType::Error:
        return 3;
    case EventType::Warning:
        return 4;
    case EventType::Information:
        break;
    }
    return 6;
}

const char* SocketPath() {
    const char* path = std::getenv("OSTROVID_SYSLOG_SOCKET");
    return path && *path ? path : "/dev/log";
}

}  // namespace

QByteArray EventLogDatagram(uint32_t eventId, EventType type, const QString& insertion) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    // The month names of RFC 3164 are English whatever the locale, so they are not formatted by strftime.
    const QByteArray head =
        QString::asprintf("<%d>%s %2d %02d:%02d:%02d OstrovidSvc[%d]: Event 0x%08X: ",
                          kFacilityDaemon * 8 + Severity(type), kMonths[local.tm_mon], local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, static_cast<int>(getpid()), eventId)
            .toUtf8();
    return head + insertion.toUtf8();
}

void WriteEventLogEntry(uint32_t eventId, EventType type, const QString& insertion) {
    const QByteArray datagram = EventLogDatagram(eventId, type, insertion);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, SocketPath(), sizeof address.sun_path - 1);
    (void)sendto(fd, datagram.constData(), static_cast<size_t>(datagram.size()), MSG_DONTWAIT,
                 reinterpret_cast<const sockaddr*>(&address), sizeof address);
    close(fd);
}

}  // namespace service
