#pragma once
// The program's end of the channel to OstrovidSvc: attaching to the service's shared objects,
// the exchange of one packet, and the requests that do not save a settings group.

#include <cstdint>

namespace settings {

// Asks the service to reset the established TCP connection this process holds to the camera at
// ipv4NetworkOrder:port (port in host order). Logs the outcome itself; true when the service
// reset the connection, false on any failure or when the program is closing.
bool SendCloseSocketCommand(uint32_t ipv4NetworkOrder, uint16_t port);

}  // namespace settings
