#!/usr/bin/env bash
# The Debian package: built from the build folder's programs by scripts/package.sh, checked by
# lintian, installed into a throw-away root with dpkg --root (maintainer scripts outside a chroot,
# with DPKG_ROOT set, so they must keep to that root), its files, owners and modes checked, the
# installed service and face tool run, then removed and purged.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR       (exit 77: skipped)
set -uo pipefail
top=${1:?source folder}
build=${2:?build folder}

if [[ $(id -u) -ne 0 ]]; then
    echo "skipped: dpkg --root installs as root (owners of the installed files)"
    exit 77
fi
for tool in dpkg-deb dpkg-shlibdeps lintian npm; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing"
        exit 77
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrovid-package.XXXXXX")
root=$work/root
svc_pid=
cleanup() {
    [[ -n "$svc_pid" ]] && kill -KILL "$svc_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
step() { echo "== $* ($SECONDS s)"; }

# "owner:group mode" of a path in the root, not following a link.
stat_of() { stat -c '%u:%g %a' "$root$1" 2>/dev/null; }
expect_stat() {
    local got
    got=$(stat_of "$1")
    [[ "$got" == "$2" ]] || fail "$1 is '$got', expected '$2'"
}
expect_file() { [[ -f "$root$1" ]] || fail "$1 is missing"; }
expect_gone() { [[ ! -e "$root$1" && ! -L "$root$1" ]] || fail "$1 is still there"; }
dpkg_root() {
    # The libraries the package depends on are the host's, not the root's: dependencies are not
    # checked, and the scripts run on the host with DPKG_ROOT naming the root.
    dpkg --root="$root" --force-script-chrootless --force-depends --force-not-root \
        --log="$work/dpkg.log" "$@" >"$work/dpkg.out" 2>&1
    local status=$?
    # The dependencies it did not find are not news.
    grep -Ev "depends on|is not installed|dependency problems" "$work/dpkg.out"
    return $status
}

step "package"
# Both folders relative, as typed in a shell.
if ! (cd "$work" && "$top/scripts/package.sh" out "$(realpath --relative-to=. "$build")") >"$work/package.log" 2>&1; then
    cat "$work/package.log"
    fail "package.sh failed"
    exit 1
fi
tail -n 1 "$work/package.log"
deb=$(ls "$work"/out/ostrovid_*.deb)

step "lintian"
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
cat "$work/lintian.log"
grep -q '^E: ' "$work/lintian.log" && fail "lintian reports errors"

step "contents"
contents=$(dpkg-deb --contents "$deb")
# Every entry belongs to root (dpkg-deb --root-owner-group); the groups come from postinst.
awk '$2 != "root/root"' <<<"$contents" | grep . && fail "entries not owned by root/root"
depends=$(dpkg-deb --field "$deb" Depends)
for wanted in libdlib-data libqt6sql6-sqlite libdlib19.1 libqt6widgets6 libsystemd0 libespeak-ng1; do
    grep -q "\b$wanted\b" <<<"$depends" || fail "Depends lacks $wanted: $depends"
done

step "install"
mkdir -p "$root/etc" "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/usr/share/dlib"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
echo "root:x:0:0:root:/root:/bin/sh" >"$root/etc/passwd"
echo "root:x:0:" >"$root/etc/group"
echo "root:*::0:99999:7:::" >"$root/etc/shadow"
echo "root:*::" >"$root/etc/gshadow"
chmod 0640 "$root/etc/shadow" "$root/etc/gshadow"
# libdlib-data of the host stands in for the dependency.
ln -s /usr/share/dlib/shape_predictor_68_face_landmarks.dat "$root/usr/share/dlib/"
host_group=$(getent group ostrovid)
dpkg_root --install "$deb" || fail "dpkg --install failed"
grep -q "usermod -aG ostrovid NAME" "$work/dpkg.out" || fail "postinst did not say how to add operators"
[[ "$(getent group ostrovid)" == "$host_group" ]] || fail "the host's group database was changed"
gid=$(awk -F: '$1 == "ostrovid" { print $3 }' "$root/etc/group")
[[ -n "$gid" ]] || fail "postinst made no group ostrovid in the root"

step "files, owners and modes"
lib=/usr/lib/ostrovid
for program in Ostrovid OstrovidSvc Velox ostrovid-enrol ostrovid-faces ostrovid-dbinit; do
    expect_stat "$lib/$program" "0:0 755"
done
for link in /usr/bin/Ostrovid /usr/bin/ostrovid-enrol /usr/bin/ostrovid-faces /usr/sbin/OstrovidSvc \
    /usr/sbin/ostrovid-dbinit; do
    [[ "$(readlink -f "$root$link")" == "$root$lib/$(basename "$link")" ]] || fail "$link does not lead to $lib"
done
# The models: the converted network with its licence, Debian's landmark model, all seen as Data
# beside the programs.
for model in dlib_face_recognition_resnet_model_v1.dat shape_predictor_68_face_landmarks.dat; do
    [[ -f "$root$lib/Data/$model" ]] || fail "$lib/Data/$model cannot be read"
done
expect_stat /usr/share/ostrovid/Data/dlib_face_recognition_resnet_model_v1.dat "0:0 644"
expect_file /usr/share/ostrovid/Data/LICENSE.face-api
[[ "$(readlink "$root/usr/share/ostrovid/Data/shape_predictor_68_face_landmarks.dat")" == \
    ../../dlib/shape_predictor_68_face_landmarks.dat ]] || fail "the landmark model's link is not relative"
grep -q "^License: MIT" "$root/usr/share/doc/ostrovid/copyright" || fail "copyright lacks the network's licence"
for page in man1/Ostrovid.1 man1/ostrovid-enrol.1 man1/ostrovid-faces.1 man8/OstrovidSvc.8 man8/ostrovid-dbinit.8; do
    expect_file "/usr/share/man/$page.gz"
done
desktop=$root/usr/share/applications/ostrovid.desktop
for key in Name Name.ru. Comment Comment.ru. Exec Icon; do
    grep -q "^$key=" "$desktop" || fail "the desktop entry lacks ${key/./[}"
done
expect_file /usr/share/icons/hicolor/scalable/apps/ostrovid.svg
unit=$root/lib/systemd/system/OstrovidSvc.service
for line in "ExecStart=$lib/OstrovidSvc" Restart=on-failure NoNewPrivileges=yes ProtectSystem=strict \
    ProtectHome=yes PrivateTmp=yes "CapabilityBoundingSet=CAP_NET_ADMIN" \
    "ReadWritePaths=/var/lib/ostrovid /var/lib/Vektra/Ostrovid /var/log/ostrovid /etc/xdg/autostart /dev/shm"; do
    grep -q "^$line" "$unit" || fail "the unit lacks $line"
done
[[ -L "$root/etc/systemd/system/multi-user.target.wants/OstrovidSvc.service" ]] || fail "the service is not enabled"
# The trust boundary's folders and files.
expect_stat /var/lib/ostrovid "0:$gid 750"
expect_stat /var/lib/ostrovid/registry.reg "0:$gid 640"
expect_stat /var/lib/Vektra "0:0 755"
expect_stat /var/lib/Vektra/Ostrovid "0:$gid 2770"
expect_stat /var/lib/Vektra/Ostrovid/Ostrovid.db "0:$gid 660"
expect_stat /var/log/ostrovid "0:$gid 2750"
grep -q '^"DbConnectionString"="Provider=SQLite;Data Source=/var/lib/Vektra/Ostrovid/Ostrovid.db"' \
    "$root/var/lib/ostrovid/registry.reg" || fail "the store does not name the installed database"

step "OstrovidSvc -debug"
# The installed service with the root's folders and a channel of its own.
export OSTROVID_REGISTRY=$root/var/lib/ostrovid/registry.reg OSTROVID_COMMON_APPDATA=$root/var/lib \
    OSTROVID_SVC_LOG_DIR=$root/var/log/ostrovid OSTROVID_AUTOSTART_DIR=$root/etc/xdg/autostart \
    OSTROVID_IPC_NAMESPACE="pkg$$." OSTROVID_SYSLOG_SOCKET=$work/no-syslog
svc_log=$root/var/log/ostrovid/OstrovidSvc.log
"$root/usr/sbin/OstrovidSvc" -debug >"$work/svc.out" 2>&1 &
svc_pid=$!
for ((i = 0; i < 100; i++)); do
    iconv -f UTF-16LE -t UTF-8 "$svc_log" 2>/dev/null | grep -q "is running" && break
    sleep 0.1
done
iconv -f UTF-16LE -t UTF-8 "$svc_log" 2>/dev/null | grep -q "is running" || fail "the service did not start"
kill -TERM "$svc_pid"
wait "$svc_pid"
status=$?
svc_pid=
[[ $status -eq 0 ]] || fail "the service ended with status $status"
iconv -f UTF-16LE -t UTF-8 "$svc_log" | grep -q "stopped" || fail "the service's log does not say it stopped"
iconv -f UTF-16LE -t UTF-8 "$svc_log" | sed 's/^/    /'

step "ostrovid-faces"
picture=/usr/share/doc/libdlib19.1/examples/johns/John_Simm/000288_00470387.jpg
installed=$("$root/usr/bin/ostrovid-faces" "$picture") || fail "the installed ostrovid-faces failed"
# The build's own tool on the repository's models: the installed network is the same conversion.
built=$("$build/bin/ostrovid-faces" --data "$top/Data" "$picture")
[[ $(wc -l <<<"$installed") -eq 1 && "$installed" == "$built" ]] ||
    fail "the installed ostrovid-faces found '$(cut -c1-80 <<<"$installed")', the build '$(cut -c1-80 <<<"$built")'"

step "remove"
echo "kept" >"$root/var/lib/Vektra/Ostrovid/journal.csv"
dpkg_root --remove ostrovid || fail "dpkg --remove failed"
for gone in "$lib" /usr/bin/Ostrovid /usr/share/ostrovid /lib/systemd/system/OstrovidSvc.service; do
    expect_gone "$gone"
done
# Disabled: masked until the package comes back, as Debian does for the services of removed packages.
[[ "$(readlink "$root/etc/systemd/system/OstrovidSvc.service")" == /dev/null ]] || fail "the service is not masked"
for kept in /var/lib/ostrovid/registry.reg /var/lib/Vektra/Ostrovid/Ostrovid.db /var/lib/Vektra/Ostrovid/journal.csv; do
    expect_file "$kept"
done

step "purge"
dpkg_root --purge ostrovid || fail "dpkg --purge failed"
for gone in /var/lib/ostrovid /var/lib/Vektra /var/log/ostrovid /etc/systemd/system/OstrovidSvc.service \
    /etc/systemd/system/multi-user.target.wants/OstrovidSvc.service; do
    expect_gone "$gone"
done

step "done: $failures failures"
[[ $failures -eq 0 ]]
