#pragma once
// Purpose: the TCP server's settings and the rule that decides which client stations it admits.
// Threads: any thread; the values are copied when the server starts.
// Owns: nothing.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace management {

enum class AcceptConnection : uint32_t {
    AnyStation = 0,
    AllowedStationsOnly = 1,
};

struct TcpServerSettings {
    uint16_t tcpPort = 21077;
    AcceptConnection acceptConnectionFlag = AcceptConnection::AnyStation;
    // Names or dotted IPv4 addresses, already trimmed, without empty entries and sorted.
    QStringList allowedStations;
};

// The flag the server works with: only-allowed means nothing when the list is empty.
AcceptConnection EffectiveAcceptFlag(const TcpServerSettings& settings);

// An entry admits the client when it equals the address text exactly, the host name ignoring
// case, or the host name cut at its first "." ignoring case (a bare computer name admits the
// station whatever domain its reverse lookup reports).
bool IsStationAllowed(const QStringList& allowedStations, const QString& address, const QString& host);

}  // namespace management
