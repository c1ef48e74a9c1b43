#!/usr/bin/env bash
# The group "ostrovid" of the operators: only its members may use the service's channel, read its
# log and store and write the program data folder. Creates the group when missing and adds the
# account that invoked sudo ($SUDO_USER, unless root). Run as root by install-deps.sh.
set -euo pipefail
group=ostrovid

if ! getent group "$group" >/dev/null; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "operator-group: the group $group does not exist; run as root to create it." >&2
        exit 1
    fi
    if ! groupadd --system "$group"; then
        echo "operator-group: groupadd --system $group failed." >&2
        exit 1
    fi
    echo "operator-group: created the system group $group."
fi

user=${SUDO_USER:-}
if [[ -z "$user" || "$user" == root ]]; then
    exit 0
fi
if ! id "$user" >/dev/null 2>&1; then
    echo "operator-group: the account $user (SUDO_USER) does not exist." >&2
    exit 1
fi
if id -nG "$user" | tr ' ' '\n' | grep -qx "$group"; then
    exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "operator-group: $user is not in the group $group; run as root to add it." >&2
    exit 1
fi
if ! usermod -a -G "$group" "$user"; then
    echo "operator-group: usermod could not add $user to the group $group." >&2
    exit 1
fi
echo "operator-group: added $user to the group $group (for new logins; ./run.sh starts the program with it at once)."
