#!/usr/bin/env bash
# Starts OstrovidSvc in debug mode (as root) and the program; stops the service when the program
# ends. Without a display the program runs under Xvfb. Usage: scripts/start.sh <build dir>
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

"$svc" -debug &
svc_pid=$!
stop_service() {
    kill -TERM "$svc_pid" 2>/dev/null || true
    wait "$svc_pid" 2>/dev/null || true
}
trap stop_service EXIT

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "start: no display; the program runs under Xvfb (xvfb-run)"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$program"
else
    "$program"
fi
