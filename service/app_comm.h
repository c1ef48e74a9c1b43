#pragma once
// The service's end of the channel: the thread that serves the program's packets and the
// handling of one packet, which writes its group into the store and leaves the reply in the area.

#include "platform/ipc.h"
#include "platform/sync.h"
#include "settings/channel_area.h"

#include <QString>

namespace service {

// Handles the packet in the shared area and writes the reply there. The packet is copied out
// first, so a program that keeps writing cannot change it half-way. storePath is the settings
// store file.
void HandleApp2SvcPacket(settings::channel::ChannelArea& shared, const QString& storePath);

struct AppCommObjects {
    platform::Event* threadTerm;
    platform::NamedEvent* request;
    platform::NamedEvent* reply;
    settings::channel::ChannelArea area;
    QString storePath;
};

// Serves one packet per request event until threadTerm is set; the reply event is set after
// every packet, whatever its outcome.
void AppCommThreadFunc(const AppCommObjects& objects);

}  // namespace service
