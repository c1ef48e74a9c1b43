#!/usr/bin/env bash
# Local SMTP servers for the mail tests (python3-aiosmtpd, see smtp_server.py): plain, STARTTLS with
# authentication, TLS from the first byte, TLS with a certificate for another host name, a slow one
# and one that drops the connection in the middle of a message. Their certificates come from a test
# CA made here at every start. Received messages are written as files into one folder.
#
#   smtp.sh start ENV_FILE    start them, append OSTROVID_TEST_SMTP_* (ports, folder, CA file, user,
#                             password, slow delay) to ENV_FILE
#   smtp.sh stop              stop them and delete their folder
set -euo pipefail

dir=${TMPDIR:-/tmp}/ostrovid-test-smtp-$(id -u)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
slow_delay=3

name=smtp.sh
# shellcheck source=../lib/server-process.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/server-process.sh"

# A key and a certificate for host names $2 signed by the test CA, as $1.key and $1.pem.
issue() {
    local name=$1 names=$2
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$dir/$name.key" \
        -out "$dir/$name.csr" -subj "/CN=${names%%,*}" 2>>"$dir/openssl.log" || return 1
    printf 'subjectAltName=%s\nbasicConstraints=CA:false\nextendedKeyUsage=serverAuth\n' "$names" >"$dir/$name.ext"
    openssl x509 -req -in "$dir/$name.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 2 \
        -extfile "$dir/$name.ext" -out "$dir/$name.pem" 2>>"$dir/openssl.log"
}

start() {
    local env_file=$1
    command -v openssl >/dev/null || fail "openssl is missing (Debian package openssl)"
    /usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null || fail "aiosmtpd is missing (Debian package python3-aiosmtpd)"
    stop
    mkdir -p "$dir/messages"
    chmod 700 "$dir"

    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$dir/ca.key" \
        -out "$dir/ca.pem" -days 2 -subj "/CN=Ostrovid test CA" \
        -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        2>>"$dir/openssl.log" || fail "cannot make the test CA: $(tail -n 3 "$dir/openssl.log")"
    issue server "DNS:localhost,IP:127.0.0.1" || fail "cannot issue the server certificate"
    issue other "DNS:other.invalid" || fail "cannot issue the certificate for another name"

    local password
    password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    /usr/bin/python3 "$here/smtp_server.py" --folder "$dir/messages" --ports-file "$dir/ports" \
        --cert "$dir/server.pem" --key "$dir/server.key" --other-cert "$dir/other.pem" --other-key "$dir/other.key" \
        --user ostrovid --password "$password" --slow-delay "$slow_delay" >"$dir/server.log" 2>&1 &
    echo $! >"$dir/pid"

    local _
    for _ in $(seq 100); do
        kill -0 "$(cat "$dir/pid")" 2>/dev/null || fail "the servers ended at start-up"
        [[ -f $dir/ports ]] && break
        sleep 0.1
    done
    [[ -f $dir/ports ]] || fail "the servers did not listen within 10 s"

    local name port
    {
        while IFS== read -r name port; do
            echo "OSTROVID_TEST_SMTP_${name^^}_PORT=$port"
        done <"$dir/ports"
        echo "OSTROVID_TEST_SMTP_DIR='$dir/messages'"
        echo "OSTROVID_TEST_SMTP_CA='$dir/ca.pem'"
        echo "OSTROVID_TEST_SMTP_USER=ostrovid"
        echo "OSTROVID_TEST_SMTP_PASSWORD=$password"
        echo "OSTROVID_TEST_SMTP_SLOW_DELAY=$slow_delay"
    } >>"$env_file"
    echo "SMTP test servers on 127.0.0.1: $(tr '\n' ' ' <"$dir/ports")($dir)"
}

case ${1:-} in
start) start "${2:?ENV_FILE}" ;;
stop) stop ;;
*)
    echo "usage: $0 start ENV_FILE | stop" >&2
    exit 2
    ;;
esac
