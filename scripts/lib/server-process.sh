# Shared by the test servers of test-services.d that run one background process with its files in
# one folder: the process id in $dir/pid, its output in $dir/server.log. Source it after setting
# `dir` and `name` (the script's name for messages).

# Says why, with the end of the server's log, and fails the script.
fail() {
    echo "$name: $*" >&2
    [[ -f $dir/server.log ]] && tail -n 20 "$dir/server.log" >&2
    exit 1
}

# Ends the process (5 s to go by itself, then killed) and deletes its folder.
stop() {
    if [[ -f $dir/pid ]]; then
        local pid
        pid=$(cat "$dir/pid")
        if kill "$pid" 2>/dev/null; then
            local _
            for _ in $(seq 50); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
            kill -9 "$pid" 2>/dev/null || true
        fi
    fi
    rm -rf "$dir"
}
