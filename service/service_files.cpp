#include "service/service_files.h"

namespace service {

QString ServiceLogFolder() {
    QString folder = qEnvironmentVariable("OSTROVID_SVC_LOG_DIR");
    while (folder.size() > 1 && folder.endsWith(u'/')) folder.chop(1);
    return folder.isEmpty() ? QStringLiteral("/var/log/ostrovid") : folder;
}

platform::FolderReport PrepareLogFolder() {
    return platform::PrepareOwnedFolder(ServiceLogFolder(), 02750, platform::FolderGroup::Operators);
}

}  // namespace service
