#!/usr/bin/env bash
# The demonstration of the first run in <build dir>/demo (scripts/demo/prepare.sh); runs after
# models.sh and program-folder.sh, whose models it uses. Usage: showcase.sh <source dir> <build dir>
set -euo pipefail
top=${1:?source folder}
build=${2:?build folder}
bash "$top/scripts/demo/prepare.sh" "$build/demo" "$build"
