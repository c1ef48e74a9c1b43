#!/usr/bin/env bash
# Runs every step in scripts/prepare.d (models, default database, ...) in name order.
# Each step gets the source folder and the build folder as $1 and $2 and must be idempotent.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$top/build}
for step in "$top"/scripts/prepare.d/*.sh; do
    [[ -e "$step" ]] || continue
    bash "$step" "$top" "$build" || {
        status=$?
        echo "prepare: $(basename "$step") failed (status $status)" >&2
        exit "$status"
    }
done
