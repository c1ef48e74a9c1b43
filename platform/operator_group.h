#pragma once
// The group "ostrovid" of the operators: the accounts that may use the service's channel, read its
// log and store, and write the program data folder. Any thread may call these.

#include <sys/types.h>

#include <optional>

namespace platform {

inline constexpr char kOperatorGroupName[] = "ostrovid";

// The group's id, or nothing when the group does not exist (an installation the setup has not
// run on yet).
std::optional<gid_t> OperatorGroupId();

enum class GroupOutcome {
    Given,         // the object belongs to the group now
    GroupMissing,  // no such group: the object keeps its group
    NotPermitted,  // this process may not give it (not root, not a member): it keeps its group
    Failed,        // the mode could not be set
};

// Gives the open file or folder the operators' group, then `mode` (in this order, because a
// change of group may clear the set-group-id bit).
GroupOutcome GiveToOperators(int fd, mode_t mode);

}  // namespace platform
