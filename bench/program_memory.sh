#!/usr/bin/env bash
# The program's resident memory with its camera running: the real Ostrovid beside a real
# OstrovidSvc, offscreen, in private folders and objects, watching an HTTP MJPEG camera (ffmpeg
# serving a photo of several faces at 10 frames a second). Prints the program's VmRSS and VmHWM
# after SECONDS, with an empty person database and then, when ENROL is "enrolled", with one
# person enrolled so that the prediction workers describe every face they are handed.
#   bench/program_memory.sh [BUILD_DIR] [SECONDS] [empty|enrolled|both]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-30}
runs=${3:-both}
for file in bin/Ostrovid bin/OstrovidSvc bin/ostrovid-dbinit bin/ostrovid-enrol bin/Data; do
    [[ -e $build/$file ]] || { echo "program_memory: $build/$file is missing (build it; bin/Data: scripts/prepare.sh)" >&2; exit 1; }
done
photo=/usr/share/doc/libdlib19.1/examples/faces/bald_guys.jpg
enrol_photo=/usr/share/doc/libdlib19.1/examples/faces/2009_004587.jpg

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -f /dev/shm/pmem$$.* 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# One run: fresh folders, store and database; prints "RSS_MB PEAK_MB".
measure() {
    local mode=$1 dir=$work/$1
    mkdir -p "$dir"/{store,autostart,tmp,runtime,data}
    chmod 700 "$dir/runtime"
    export OSTROVID_IPC_NAMESPACE=pmem$$.$mode.
    export OSTROVID_REGISTRY=$dir/store/registry.reg OSTROVID_COMMON_APPDATA=$dir/data
    export OSTROVID_AUTOSTART_DIR=$dir/autostart OSTROVID_SYSLOG_SOCKET=$dir/syslog
    export OSTROVID_SVC_LOG_DIR=$dir/svclog TMPDIR=$dir/tmp XDG_RUNTIME_DIR=$dir/runtime
    export QT_QPA_PLATFORM=offscreen
    local port=$((20000 + RANDOM % 20000))
    local db=$dir/data/Vektra/Ostrovid/Ostrovid.db
    cat > "$OSTROVID_REGISTRY" <<EOF
[SOFTWARE]

[SOFTWARE\\Vektra]

[SOFTWARE\\Vektra\\Ostrovid]
"DbConnectionString"="Provider=SQLite;Data Source=$db"
"CurrentCameraIndex"=dword:00000000
"AutoStartLastCamera"=dword:00000001

[SOFTWARE\\Vektra\\Ostrovid\\Camera]

[SOFTWARE\\Vektra\\Ostrovid\\Camera\\0]
"Type"=dword:00000001
"Name"="Memory"
"RotationFlag"=dword:00000000
"Mirroring"=dword:00000000
"Url"="http://127.0.0.1:$port/camera"
EOF
    "$build/bin/ostrovid-dbinit" > "$dir/dbinit.out"
    if [[ $mode == enrolled ]]; then
        mkdir -p "$dir/people/Иванов Пётр"
        cp "$enrol_photo" "$dir/people/Иванов Пётр/"
        "$build/bin/ostrovid-enrol" --db "Provider=SQLite;Data Source=$db" "$dir/people" > "$dir/enrol.out"
    fi

    ffmpeg -nostdin -loglevel error -re -loop 1 -framerate 10 -i "$photo" -vf scale=1280:720 -f mpjpeg -q:v 3 \
        -listen 1 "http://127.0.0.1:$port/camera" > "$dir/ffmpeg.out" 2>&1 &
    pids+=($!)
    "$build/bin/OstrovidSvc" -debug > "$dir/svc.out" 2>&1 &
    pids+=($!)
    "$build/bin/Ostrovid" > "$dir/program.out" 2>&1 &
    local program=$!
    pids+=("$program")
    sleep "$seconds"
    local rss peak
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$program/status")
    peak=$(awk '/^VmHWM:/ {print $2}' "/proc/$program/status")
    # The log is UTF-16.
    if ! iconv -f UTF-16LE -t UTF-8 "$dir/tmp/Ostrovid.log" 2>/dev/null | grep -q "started\."; then
        echo "program_memory: the program did not start; its log:" >&2
        iconv -f UTF-16LE -t UTF-8 "$dir/tmp/Ostrovid.log" >&2 || true
        cleanup
        exit 1
    fi
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
    rm -f /dev/shm/"$OSTROVID_IPC_NAMESPACE"* 2>/dev/null || true
    awk -v r="$rss" -v p="$peak" 'BEGIN { printf "%.1f %.1f\n", r / 1024, p / 1024 }'
}

echo "Ostrovid with its camera running (1280x720 MJPEG, 10 frames/s), after $seconds s, $(nproc) cores"
modes=(empty enrolled)
[[ $runs == both ]] || modes=("$runs")
for mode in "${modes[@]}"; do
    read -r rss peak < <(measure "$mode")
    printf "%-40s RSS %8.1f MB   peak %8.1f MB\n" "person database $mode" "$rss" "$peak"
done
