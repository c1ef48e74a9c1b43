#pragma once
// Resets the established IPv4 TCP connection that the program's process holds to a camera, so
// that its blocked read fails and the capture code can recover.

#include "settings/channel_area.h"

#include <QString>
#include <QStringView>

namespace service {

// The reply text of a packet that ran out of memory.
inline constexpr QStringView kMemoryAllocationError = u"Memory Allocation Error.";

// The packet holds the program's pid, the camera's IPv4 address (network order) and port (host
// order). Resets the first matching connection only, and only when the pid runs the trusted program
// (trusted_program.h) and both holds the socket and runs as the user who made it; any other pid is
// refused. Out of memory answers kMemoryAllocationError. On failure *message holds the reply text,
// at most 255 characters. Called on the channel thread.
bool HandleCloseTcpSocketCommand(const settings::channel::ChannelArea& packet, QString* message);

}  // namespace service
