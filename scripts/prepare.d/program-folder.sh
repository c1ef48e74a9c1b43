#!/usr/bin/env bash
# The program finds its models as Data/ beside its executable: link the build's bin/Data to the
# repository's Data/. Usage: program-folder.sh <source dir> <build dir>
set -euo pipefail
top=${1:?source folder}
build=${2:?build folder}
mkdir -p "$build/bin"
ln -sfn "$top/Data" "$build/bin/Data"
