#!/usr/bin/env bash
# Installs what is missing, builds, prepares the models and the embedded database, then starts
# the settings service and the program.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$top"
scripts/install-deps.sh
scripts/build.sh "$top/build"
scripts/prepare.sh "$top/build"
if [[ -x scripts/start.sh ]]; then
    exec scripts/start.sh "$top/build"
fi
echo "Built into $top/build. The program itself arrives with a later step; nothing to start yet."
