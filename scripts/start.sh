#!/usr/bin/env bash
# Starts OstrovidSvc in debug mode (as root) and the program as the operator: the account that
# invoked sudo, with the group ostrovid even when it was added to it a moment ago. Stops the
# service when the program ends. Without a display the program runs under Xvfb.
# While the real store has no camera and the real database no person, the demonstration starts
# instead, in <build dir>/demo (scripts/demo/): its own store, database, logs and camera.
# --no-demo starts the real configuration all the same.
# Usage: scripts/start.sh <build dir> [--no-demo]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Absolute: the service and the program change into their own folder, which would break
# relative paths of the demonstration's folders.
build=$(cd "${1:?build folder}" && pwd)
shift
mode=auto
for argument in "$@"; do
    case $argument in
    --no-demo) mode=real ;;
    *)
        echo "start: unknown argument $argument (only --no-demo)" >&2
        exit 2
        ;;
    esac
done
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

if [[ $mode == auto ]]; then
    # Decided on the real store and database, before the demonstration's variables are set.
    if finding=$("$build/bin/ostrovid-demo" check); then
        mode=demo
        echo "start: $finding"
    else
        status=$?
        mode=real
        if [[ $status -eq 3 ]]; then
            echo "start: $finding"
        else
            echo "start: ${finding:-ostrovid-demo check failed (status $status)}; the real configuration starts" >&2
        fi
    fi
fi

camera_pid=
stop_children() {
    local pid
    for pid in ${svc_pid:-} $camera_pid; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_children EXIT

if [[ $mode == demo ]]; then
    demo=$build/demo
    bash "$top/scripts/demo/prepare.sh" "$demo" "$build"
    # shellcheck source=demo/layout.sh
    source "$top/scripts/demo/layout.sh" "$demo"
    port_file=$TMPDIR/camera.port
    rm -f "$port_file"
    "${as_operator[@]}" /usr/bin/python3 "$top/scripts/demo/camera_server.py" "$demo/camera.mjpeg" "$port_file" &
    camera_pid=$!
    for _ in $(seq 150); do
        [[ -s $port_file ]] && break
        kill -0 "$camera_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ ! -s $port_file ]]; then
        echo "start: the demonstration camera (scripts/demo/camera_server.py) did not start" >&2
        exit 1
    fi
    camera_url="http://127.0.0.1:$(cat "$port_file")/demo"
    "$build/bin/ostrovid-demo" settings --camera-url "$camera_url" --script "$demo/unknown-visitor.sh" \
        --csv "$OSTROVID_COMMON_APPDATA/Vektra/Ostrovid" >/dev/null || {
        echo "start: the demonstration's settings could not be written into $OSTROVID_REGISTRY" >&2
        exit 1
    }
    echo "start: the demonstration (camera $camera_url, everything in $demo); ./run.sh --no-demo starts the real configuration"
fi

"$svc" -debug &
svc_pid=$!

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "start: no display; the program runs under Xvfb (xvfb-run)"
    "${as_operator[@]}" xvfb-run -a -s "-screen 0 1280x1024x24" "$program"
else
    "${as_operator[@]}" "$program"
fi
