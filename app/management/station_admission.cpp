#include "app/management/station_admission.h"

namespace management {

AcceptConnection EffectiveAcceptFlag(const TcpServerSettings& settings) {
    return settings.allowedStations.isEmpty() ? AcceptConnection::AnyStation : settings.acceptConnectionFlag;
}

bool IsStationAllowed(const QStringList& allowedStations, const QString& address, const QString& host) {
    const QString shortHost = host.section(QLatin1Char('.'), 0, 0);
    for (const QString& entry : allowedStations) {
        if (entry == address) return true;
        // An empty host name (failed lookup) must not match anything.
        if (host.isEmpty()) continue;
        if (entry.compare(host, Qt::CaseInsensitive) == 0 || entry.compare(shortHost, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

}  // namespace management
