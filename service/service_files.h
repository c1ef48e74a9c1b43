#pragma once
// The service's log folder, made or corrected with its owner and mode (the store's and the data
// folders are in platform/owned_folder.h). Used by the service at its start and by -install; any
// thread may call these.

#include "platform/owned_folder.h"

#include <QString>

namespace service {

// $OSTROVID_SVC_LOG_DIR or /var/log/ostrovid; the log in it is "OstrovidSvc.log".
QString ServiceLogFolder();

// root:ostrovid 2750: operators read the log, nobody else enters.
platform::FolderReport PrepareLogFolder();

}  // namespace service
