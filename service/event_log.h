#pragma once
// The service's event-log entries, sent as syslog datagrams (RFC 3164, ident "OstrovidSvc") to
// /dev/log or to the socket named by $OSTROVID_SYSLOG_SOCKET. Each carries the event id and
// its one insertion string.

#include <QString>
#include <cstdint>

namespace service {

enum class EventType { Error, Warning, Information };

inline constexpr uint32_t kEventDispatcherFailed = 0xC0FF0001;
inline constexpr uint32_t kEventStatusReportFailed = 0xC0FF0002;
inline constexpr uint32_t kEventRunning = 0x40FF0003;
inline constexpr uint32_t kEventMainEnds = 0x40FF0004;
inline constexpr uint32_t kEventShutdown = 0x80FF0005;

// The datagram text: "<PRI>Mmm dd hh:mm:ss OstrovidSvc[pid]: Event 0xC0FF0001: insertion".
QByteArray EventLogDatagram(uint32_t eventId, EventType type, const QString& insertion);

// Sends the entry; an entry that cannot be delivered is lost, as with a full event log.
void WriteEventLogEntry(uint32_t eventId, EventType type, const QString& insertion);

}  // namespace service
