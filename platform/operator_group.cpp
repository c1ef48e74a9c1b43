#include "platform/operator_group.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

std::optional<gid_t> OperatorGroupId() {
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(4096);
    int rc;
    // A group with many members needs a larger buffer than the usual one.
    while ((rc = getgrnam_r(kOperatorGroupName, &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || !found) return std::nullopt;
    return found->gr_gid;
}

GroupOutcome GiveToOperators(int fd, mode_t mode) {
    GroupOutcome outcome = GroupOutcome::Given;
    const std::optional<gid_t> group = OperatorGroupId();
    struct stat info {};
    if (!group) {
        outcome = GroupOutcome::GroupMissing;
    } else if (fstat(fd, &info) != 0 || (info.st_gid != *group && fchown(fd, static_cast<uid_t>(-1), *group) != 0)) {
        outcome = GroupOutcome::NotPermitted;
    }
    if (fchmod(fd, mode) != 0) return GroupOutcome::Failed;
    return outcome;
}

}  // namespace platform
