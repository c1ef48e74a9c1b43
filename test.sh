#!/usr/bin/env bash
# Installs what is missing, builds, starts the servers the tests need, runs every test.
# Usage: ./test.sh [--sanitize address|thread] [extra ctest arguments...]
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$top"

build=$top/build
cmake_args=()
if [[ "${1:-}" == "--sanitize" ]]; then
    build=$top/build-${2:?address or thread}
    cmake_args+=(-DOSTROVID_SANITIZE="$2")
    # Reports from inside libraries we do not own are suppressed, each with its reason, in
    # tests/*.supp; exported here so that the programs the tests start get them too.
    case $2 in
    address)
        export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp"
        export UBSAN_OPTIONS="print_stacktrace=1"
        ;;
    thread)
        # Qt is not instrumented: TSan sees the memcpy and free calls made inside Qt but not the
        # futex-based locks of Qt's own pool threads that order them, and reports races among
        # them. Only calls made from our instrumented code are checked.
        # QProcess starts children with clone(CLONE_VM | CLONE_VFORK), which TSan takes for a
        # fork of a multi-threaded process; it would then kill the test at its next new thread.
        export TSAN_OPTIONS="suppressions=$top/tests/tsan.supp:ignore_noninstrumented_modules=1:die_after_fork=0"
        ;;
    esac
    shift 2
fi

scripts/install-deps.sh
started=$SECONDS
scripts/build.sh "$build" "${cmake_args[@]}"
echo "Build: $((SECONDS - started)) s"
scripts/prepare.sh "$build"

# Helper servers: each script in test-services.d takes "start ENV_FILE" and "stop"; on start it
# may append KEY=VALUE lines to ENV_FILE, which the tests then see in their environment.
env_file=$(mktemp)
services=()
stop_services() {
    local i
    for ((i = ${#services[@]} - 1; i >= 0; i--)); do
        bash "${services[i]}" stop || true
    done
    rm -f "$env_file"
}
trap stop_services EXIT
for service in scripts/test-services.d/*.sh; do
    [[ -e "$service" ]] || continue
    services+=("$service")
    bash "$service" start "$env_file" || {
        status=$?
        echo "test: helper server $service did not start (status $status)" >&2
        exit "$status"
    }
done
set -a
# shellcheck disable=SC1090
source "$env_file"
set +a

export QT_QPA_PLATFORM=offscreen
started=$SECONDS
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300 "$@"
echo "Tests: $((SECONDS - started)) s"
