#!/usr/bin/env bash
# A throw-away PostgreSQL server for the database tests: initdb into a temporary folder, a
# loopback port, password authentication over TCP. Runs the server as the postgres user when
# started as root (the server refuses to run as root).
#
#   postgres.sh start ENV_FILE      start the shared test server, append OSTROVID_TEST_PG=... to ENV_FILE
#   postgres.sh stop                stop it and delete its folder
#   postgres.sh start-at DIR ENV_FILE   the same for a private server in DIR (tests that stop it)
#   postgres.sh pause-at DIR / resume-at DIR / stop-at DIR
#   postgres.sh freeze-at DIR / thaw-at DIR   stop the server's processes (SIGSTOP) and let them go on:
#                                             a server that keeps its connections but never answers
# Without the server binaries nothing starts and the PostgreSQL tests skip themselves.
set -euo pipefail

shared_dir=${TMPDIR:-/tmp}/ostrovid-test-pg-$(id -u)

find_bindir() {
    bindir=
    local d
    for d in /usr/lib/postgresql/*/bin; do
        [[ -x $d/initdb && -x $d/pg_ctl && -x $d/postgres ]] && bindir=$d
    done
    [[ -n $bindir ]]
}

run_as_server_user() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

free_port() {
    local port tries
    for ((tries = 0; tries < 200; tries++)); do
        port=$((20000 + RANDOM % 40000))
        if ! (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    return 1
}

server_start() {
    local dir=$1
    run_as_server_user "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses=127.0.0.1 -p $(cat "$dir/port") -k $dir -c fsync=off -c max_connections=300" \
        start >/dev/null
}

start_at() {
    local dir=$1 env_file=$2
    if ! find_bindir; then
        echo "postgres.sh: PostgreSQL server binaries not found; the PostgreSQL database tests are skipped" >&2
        return 0
    fi
    stop_at "$dir"
    mkdir -p "$dir"
    local password
    password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    printf '%s\n' "$password" >"$dir/pwfile"
    [[ $(id -u) -eq 0 ]] && chown -R postgres "$dir"
    chmod 700 "$dir"
    run_as_server_user "$bindir/initdb" -D "$dir/data" -U postgres --pwfile="$dir/pwfile" -E UTF8 \
        --auth-host=scram-sha-256 --auth-local=trust --no-sync >"$dir/initdb.log"
    local attempt
    for attempt in 1 2 3; do
        free_port >"$dir/port" || { echo "postgres.sh: no free loopback port found" >&2; return 1; }
        [[ $(id -u) -eq 0 ]] && chown postgres "$dir/port"
        if server_start "$dir"; then
            break
        fi
        [[ $attempt -eq 3 ]] && { cat "$dir/server.log" >&2; return 1; }
    done
    {
        echo "OSTROVID_TEST_PG='Provider=PostgreSQL;Data Source=127.0.0.1:$(cat "$dir/port");User ID=postgres;Password=$password'"
        echo "OSTROVID_TEST_PG_BINDIR='$bindir'"
    } >>"$env_file"
    echo "PostgreSQL test server on 127.0.0.1:$(cat "$dir/port") ($dir)"
}

# Sends the signal to the server in DIR and to its child processes, by their ids.
signal_server() {
    local dir=$1 signal=$2 pid
    [[ -f $dir/data/postmaster.pid ]] || return 1
    pid=$(head -n 1 "$dir/data/postmaster.pid")
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    # shellcheck disable=SC2046 # one id per word
    kill "-$signal" "$pid" $(ps -o pid= --ppid "$pid")
}

stop_at() {
    local dir=$1
    signal_server "$dir" CONT 2>/dev/null || true
    if [[ -f $dir/data/postmaster.pid ]] && find_bindir; then
        run_as_server_user "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}

case ${1:-} in
start) start_at "$shared_dir" "${2:?ENV_FILE}" ;;
stop) stop_at "$shared_dir" ;;
start-at) start_at "${2:?DIR}" "${3:?ENV_FILE}" ;;
stop-at) stop_at "${2:?DIR}" ;;
pause-at)
    find_bindir
    run_as_server_user "$bindir/pg_ctl" -D "${2:?DIR}/data" -m fast -w stop >/dev/null
    ;;
resume-at)
    find_bindir
    server_start "${2:?DIR}"
    ;;
freeze-at) signal_server "${2:?DIR}" STOP ;;
thaw-at) signal_server "${2:?DIR}" CONT ;;
*)
    echo "usage: $0 start ENV_FILE | stop | start-at DIR ENV_FILE | stop-at DIR | pause-at DIR | resume-at DIR" >&2
    exit 2
    ;;
esac
