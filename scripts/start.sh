#!/usr/bin/env bash
# Starts OstrovidSvc in debug mode (as root) and the program as the operator: the account that
# invoked sudo, with the group ostrovid even when it was added to it a moment ago. Stops the
# service when the program ends. Without a display the program runs under Xvfb.
# Usage: scripts/start.sh <build dir>
set -euo pipefail
build=${1:?build folder}
svc=$build/bin/OstrovidSvc
program=$build/bin/Ostrovid
for file in "$svc" "$program"; do
    [[ -x "$file" ]] || { echo "start: $file has not been built" >&2; exit 1; }
done
if [[ $(id -u) -ne 0 ]]; then
    echo "start: the service OstrovidSvc needs root; run ./run.sh as root" >&2
    exit 1
fi

# The program never needs root. --init-groups reads the group database now, so a membership
# added by the setup step counts without a new login.
as_operator=()
operator=${SUDO_USER:-}
if [[ -n "$operator" && "$operator" != root ]]; then
    operator_uid=$(id -u "$operator")
    runtime=(-u XDG_RUNTIME_DIR)
    [[ -d /run/user/$operator_uid ]] && runtime=(XDG_RUNTIME_DIR="/run/user/$operator_uid")
    as_operator=(setpriv --reuid="$operator_uid" --regid="$(id -g "$operator")" --init-groups
                 env "${runtime[@]}" HOME="$(getent passwd "$operator" | cut -d: -f6)" USER="$operator"
                 LOGNAME="$operator")
    echo "start: the program runs as $operator"
else
    echo "start: no operator account (start ./run.sh with sudo from the operator's account);" \
         "the program runs as root" >&2
fi

"$svc" -debug &
svc_pid=$!
stop_service() {
    kill -TERM "$svc_pid" 2>/dev/null || true
    wait "$svc_pid" 2>/dev/null || true
}
trap stop_service EXIT

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "start: no display; the program runs under Xvfb (xvfb-run)"
    "${as_operator[@]}" xvfb-run -a -s "-screen 0 1280x1024x24" "$program"
else
    "${as_operator[@]}" "$program"
fi
