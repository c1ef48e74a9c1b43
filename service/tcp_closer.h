#pragma once
// Resets the established IPv4 TCP connection that the program's process holds to a camera, so
// that its blocked read fails and the capture code can recover.

#include "service/close_requesters.h"
#include "settings/channel_area.h"

#include <QString>
#include <QStringView>

namespace service {

// The reply text of a packet that ran out of memory.
inline constexpr QStringView kMemoryAllocationError = u"Memory Allocation Error.";

// The packet holds the program's pid, the camera's IPv4 address (network order) and port (host
// order). It counts only when that pid itself vouched for these bytes through requesters; then the
// first matching connection is reset, and only when the requester runs the trusted program
// (trusted_program.h), holds the socket and is the user who made it. Anything else is refused. Out
// of memory answers kMemoryAllocationError. On failure *message holds the reply text, at most 255
// characters. Called on the channel thread; waits up to CloseRequesters::kRequesterWait.
bool HandleCloseTcpSocketCommand(const settings::channel::ChannelArea& packet, CloseRequesters& requesters,
                                 QString* message);

}  // namespace service
