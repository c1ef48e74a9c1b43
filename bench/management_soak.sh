#!/usr/bin/env bash
# Ten minutes of the management load: eight stations subscribed to everything while the camera
# shows eight faces that come and go, one station never reading, a ninth client knocking. Prints
# the events each reader received and the program's threads and memory before and after.
#   bench/management_soak.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=${1:-build}
seconds=${2:-600}
[[ -x $build/tests/management_load_test ]] || { echo "build first: cmake --build $build --target management_load_test" >&2; exit 1; }
OSTROVID_MANAGEMENT_LOAD_SECONDS=$seconds QT_QPA_PLATFORM=offscreen "$build/tests/management_load_test" 2>&1 |
    grep -v '^log: '
