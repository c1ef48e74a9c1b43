#pragma once
// The service's end of the channel: the thread that serves the program's packets and the
// handling of one packet, which writes its group into the store and leaves the reply in the area.

#include "platform/ipc.h"
#include "platform/sync.h"
#include "service/close_requesters.h"
#include "settings/channel_area.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace service {

// The bytes a reply writes from offset 0 of the area; the area beyond them is left as it was.
using Reply = std::vector<uint8_t>;

// Handles one packet, given as the service's own copy of the area, and answers the reply.
// storePath is the settings store file; requesters vouch for close requests (tcp_closer.h).
Reply HandleApp2SvcPacket(const settings::channel::ChannelArea& packet, const QString& storePath,
                          CloseRequesters& requesters);

// Copies the packet in through the area's descriptor, handles it and writes the reply out the same
// way, so a program that keeps writing cannot change the packet half-way and a resized area cannot
// fault the service. An area of the wrong size gets its size back and an error reply.
void ServeApp2SvcPacket(const platform::NamedSharedMemory& area, const QString& storePath,
                        CloseRequesters& requesters);

struct AppCommObjects {
    platform::Event* threadTerm;
    platform::NamedEvent* request;
    platform::NamedEvent* reply;
    const platform::NamedSharedMemory* area;
    QString storePath;
    CloseRequesters* closeRequesters;
};

// Serves one packet per request event until threadTerm is set; the reply event is set after
// every packet, whatever its outcome.
void AppCommThreadFunc(const AppCommObjects& objects);

}  // namespace service
