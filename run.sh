#!/usr/bin/env bash
# Installs what is missing, builds, prepares the models, the embedded database and the
# demonstration, then starts the settings service and the program: the demonstration while the
# real store has no camera and the real database no person, unless --no-demo is given.
# Usage: ./run.sh [--no-demo]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$top"
for argument in "$@"; do
    [[ $argument == --no-demo ]] || { echo "run: unknown argument $argument (only --no-demo)" >&2; exit 2; }
done
scripts/install-deps.sh
scripts/build.sh "$top/build"
scripts/prepare.sh "$top/build"
if [[ -x scripts/start.sh ]]; then
    exec scripts/start.sh "$top/build" "$@"
fi
echo "Built into $top/build. The program itself arrives with a later step; nothing to start yet."
