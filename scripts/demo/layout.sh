#!/usr/bin/env bash
# Where the demonstration keeps its things, all below one folder (the build's demo/ for run.sh),
# never the real ones: settings store, data folder (database, CSV log, kept pictures of unknown
# visitors), the service's log, the program's log and temporary pictures (its TMPDIR), the
# autostart entry and its own prefix of the shared objects. OSTROVID_DEMO=1 makes the program's
# title say that it is the demonstration.
# Sourced: exports the variables. Run: prints them as NAME=VALUE lines (the tests read them).
# Usage: layout.sh DEMO_DIR
demo_layout() {
    local dir=${1:?demonstration folder}
    echo "OSTROVID_DEMO=1"
    echo "OSTROVID_REGISTRY=$dir/store/registry.reg"
    echo "OSTROVID_COMMON_APPDATA=$dir/data"
    echo "OSTROVID_SVC_LOG_DIR=$dir/log"
    echo "OSTROVID_AUTOSTART_DIR=$dir/autostart"
    echo "OSTROVID_IPC_NAMESPACE=demo."
    echo "TMPDIR=$dir/tmp"
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
    set -euo pipefail
    demo_layout "$@"
else
    while IFS= read -r assignment; do
        export "${assignment?}"
    done < <(demo_layout "$@")
fi
