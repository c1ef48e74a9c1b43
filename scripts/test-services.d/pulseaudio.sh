#!/usr/bin/env bash
# A private sound server for the tests that check that sound and speech really come out: PulseAudio
# with one null sink (the default) and a socket of its own, all of it in one temporary folder. The
# tests record the sink's monitor with parec.
#
#   pulseaudio.sh start ENV_FILE    start it, append PULSE_SERVER=..., PULSE_CLIENTCONFIG=... and
#                                   OSTROVID_TEST_MONITOR=<sink>.monitor to ENV_FILE
#   pulseaudio.sh stop              stop it and delete its folder
set -euo pipefail

dir=${TMPDIR:-/tmp}/ostrovid-test-pulse-$(id -u)
sink=ostrovid_test

name=pulseaudio.sh
# shellcheck source=../lib/server-process.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/server-process.sh"

start() {
    local env_file=$1
    local tool
    for tool in pulseaudio pactl parec; do
        command -v "$tool" >/dev/null || fail "$tool is missing (Debian packages pulseaudio, pulseaudio-utils)"
    done
    stop
    mkdir -p "$dir/runtime" "$dir/home" "$dir/state"
    chmod 700 "$dir" "$dir/runtime"
    # Clients must fail rather than spawn a server of their own when this one is gone.
    printf 'autospawn = no\n' >"$dir/client.conf"
    # One fixed rate: an idle sink that switches rate for a new stream suspends for a moment, which
    # stalls the monitor and delays the first sound.
    printf 'default-sample-rate = 48000\nalternate-sample-rate = 48000\n' >"$dir/daemon.conf"

    # Everything the server and its clients would look for under HOME or the session's runtime
    # folder points into this folder, so that no desktop session's server is touched.
    export XDG_RUNTIME_DIR=$dir/runtime HOME=$dir/home PULSE_RUNTIME_PATH=$dir/runtime \
        PULSE_STATE_PATH=$dir/state PULSE_CONFIG=$dir/daemon.conf PULSE_CLIENTCONFIG=$dir/client.conf PULSE_SERVER=unix:$dir/native
    # No shared ring buffer: libpulse 16 can abort a client at exit in its ring buffer callback
    # ("Assertion 'p->srb == srb' failed"), after the test itself has passed.
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --system=no --realtime=no \
        --high-priority=no --disallow-module-loading=no --log-target=stderr \
        -L "module-null-sink sink_name=$sink rate=48000 channels=2" \
        -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1 srbchannel=no" \
        >"$dir/server.log" 2>&1 &
    echo $! >"$dir/pid"

    local _
    for _ in $(seq 100); do
        kill -0 "$(cat "$dir/pid")" 2>/dev/null || fail "the server ended at start-up"
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null 2>&1 || fail "the server did not answer within 10 s"
    pactl set-default-sink "$sink" || fail "cannot make $sink the default sink"
    {
        echo "PULSE_SERVER='unix:$dir/native'"
        echo "PULSE_CLIENTCONFIG='$dir/client.conf'"
        echo "OSTROVID_TEST_MONITOR='$sink.monitor'"
    } >>"$env_file"
    echo "PulseAudio test server on $dir/native (null sink $sink)"
}

case ${1:-} in
start) start "${2:?ENV_FILE}" ;;
stop) stop ;;
*)
    echo "usage: $0 start ENV_FILE | stop" >&2
    exit 2
    ;;
esac
