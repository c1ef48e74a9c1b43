#!/usr/bin/env bash
# Fuzzes with libFuzzer: builds a fuzz target with Clang, ASan and UBSan into build-fuzz and runs
# it from its corpus for a while. Not part of ./test.sh, whose GCC builds run each target as a
# fixed-seed mutation test instead. Inputs libFuzzer finds are kept in build-fuzz/corpus-TARGET.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET]      (defaults: 300, management_fuzz)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-300}
target=${2:-management_fuzz}
build=$top/build-fuzz

if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is not installed (apt-get install clang libclang-rt-14-dev)" >&2
    exit 1
fi
if [[ ! -e "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-x86_64.a" ]]; then
    echo "fuzz: the libFuzzer runtime of clang++ is not installed (apt-get install libclang-rt-14-dev)" >&2
    exit 1
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DOSTROVID_SANITIZE=address \
    -DOSTROVID_LIBFUZZER=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link -Wno-unknown-warning-option" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "$target"

seeds=$top/tests/fuzz/${target%_fuzz}_corpus
found=$build/corpus-$target
mkdir -p "$found"
export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
"$build/tests/$target" -max_total_time="$seconds" -max_len=70000 -timeout=10 "$found" "$seeds"
