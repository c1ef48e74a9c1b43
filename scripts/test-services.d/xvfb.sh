#!/usr/bin/env bash
# An X server for the tests that take screenshots of real windows (the others use Qt's offscreen
# platform): Xvfb on the first free display number from 91, its number appended as DISPLAY=:N.
#
#   xvfb.sh start ENV_FILE
#   xvfb.sh stop
set -euo pipefail
pid_file=${TMPDIR:-/tmp}/ostrovid-test-xvfb-$(id -u).pid

case "${1:-}" in
start)
    env_file=${2:?env file}
    command -v Xvfb >/dev/null || { echo "xvfb: Xvfb missing; screenshots come from the offscreen platform"; exit 0; }
    for n in $(seq 91 120); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        echo $! >"$pid_file"
        for _ in $(seq 50); do
            [[ -e /tmp/.X11-unix/X$n ]] && break
            sleep 0.1
        done
        if [[ -e /tmp/.X11-unix/X$n ]]; then
            echo "DISPLAY=:$n" >>"$env_file"
            echo "xvfb: display :$n"
            exit 0
        fi
        kill "$(cat "$pid_file")" 2>/dev/null || true
    done
    echo "xvfb: no display could be started; screenshots come from the offscreen platform"
    ;;
stop)
    [[ -f "$pid_file" ]] || exit 0
    kill "$(cat "$pid_file")" 2>/dev/null || true
    rm -f "$pid_file"
    ;;
*)
    echo "usage: xvfb.sh start ENV_FILE | stop" >&2
    exit 2
    ;;
esac
