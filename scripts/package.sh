#!/usr/bin/env bash
# Builds the Debian package ostrovid_VERSION_ARCH.deb into OUT_DIR with dpkg-deb: the CMake
# installation (prefix /usr) of the programs into a staging root, the descriptor network converted
# there from face-api's weights with their licence, the Debian documents, the maintainer scripts of
# packaging/debian and the control file, whose Depends come from dpkg-shlibdeps and the list below.
# Usage: scripts/package.sh OUT_DIR [BUILD_DIR]
#   Without BUILD_DIR it configures and builds its own release folder build-package, for any
#   x86-64 machine (no -march=native) with Debian's hardening flags. With BUILD_DIR it packages
#   that folder's binaries as they are (the tests do, to save a build); a sanitizer build is
#   refused, and one made for the build machine's SIMD is said to be such.
set -euo pipefail
umask 022
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:?usage: package.sh OUT_DIR [BUILD_DIR]}
# Absolute, for the steps that run in other folders.
build=$(realpath -m -- "${2:-$top/build-package}")

fail() {
    echo "package: $*" >&2
    exit 1
}

for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || fail "$tool is missing (Debian package dpkg-dev)"
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

if [[ -z "${2:-}" ]]; then
    # dpkg-buildflags: fortified, stack-protected, read-only relocations bound at start; CMake
    # reads no CPPFLAGS, so they join CXXFLAGS.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
    LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
    export CXXFLAGS LDFLAGS
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTROVID_NATIVE_SIMD=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
fi
[[ -f "$build/CMakeCache.txt" ]] || fail "$build is not a configured build folder"
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
[[ -z "$(cached OSTROVID_SANITIZE)" ]] || fail "$build is a sanitizer build; its programs are not for installation"
if [[ "$(cached OSTROVID_NATIVE_SIMD)" != OFF ]]; then
    echo "package: $build was built with -march=native: the package runs on machines like this one only"
fi

targets=(Ostrovid OstrovidSvc Velox ostrovid-enrol ostrovid-faces ostrovid-dbinit ostrovid-unit-file
         ostrovid-convert-face-weights)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

version=$(sed -n 's/^project(Ostrovid VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[[ -n "$version" ]] || fail "no version in $top/CMakeLists.txt"
arch=$(dpkg --print-architecture)
maintainer=${OSTROVID_MAINTAINER:-Vektra Ostrovid <ostrovid@vektra.example>}
# Reproducible file times and changelog date: those of the commit packaged.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
commit=$(git -C "$top" rev-parse --short HEAD 2>/dev/null || echo unknown)

work=$build/package
stage=$work/root
rm -rf "$work"
mkdir -p "$stage"
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
# Stripped as Debian strips programs: no symbols, no compiler notes.
mapfile -t elves < <(find "$stage/usr/lib/ostrovid" -maxdepth 1 -type f -perm -u+x | sort)
strip --remove-section=.comment --remove-section=.note "${elves[@]}"

# The descriptor network, converted now from the pinned weights, and their licence.
# shellcheck source=lib/face-api.sh
source "$top/scripts/lib/face-api.sh"
face_api_fetch || fail "the weights of $face_api_package cannot be had"
[[ -f "$face_api_dir/LICENSE" ]] || fail "$face_api_dir/LICENSE missing"
models=$stage/usr/share/ostrovid/Data
"$build/bin/ostrovid-convert-face-weights" "$face_api_manifest" "$models/dlib_face_recognition_resnet_model_v1.dat" ||
    fail "the descriptor network could not be converted"
chmod 0644 "$models/dlib_face_recognition_resnet_model_v1.dat"
install -m 0644 "$face_api_dir/LICENSE" "$models/LICENSE.face-api"

docs=$stage/usr/share/doc/ostrovid
install -d "$docs"
{
    echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
    echo "Upstream-Name: Ostrovid"
    echo "Comment: The descriptor network was converted at package build time from the weights of"
    echo " the npm package $face_api_package $face_api_version; its licence is also in"
    echo " /usr/share/ostrovid/Data/LICENSE.face-api."
    echo
    echo "Files: *"
    echo "Copyright: $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y) Vektra"
    echo "License: proprietary"
    echo " All rights reserved."
    echo
    echo "Files: usr/share/ostrovid/Data/dlib_face_recognition_resnet_model_v1.dat"
    echo "Copyright: $(grep -m1 -i 'copyright' "$face_api_dir/LICENSE" | sed 's/^ *[Cc]opyright *\(([Cc]) *\)\{0,1\}//')"
    echo "License: MIT"
    sed -e 's/^[[:space:]]*$/./' -e 's/^/ /' "$face_api_dir/LICENSE"
} >"$docs/copyright"
{
    echo "ostrovid ($version) unstable; urgency=medium"
    echo
    echo "  * Package built from commit $commit."
    echo
    echo " -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n >"$docs/changelog.gz"
find "$stage/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} +

# Runtime dependencies: the libraries the programs link (dpkg-shlibdeps, which wants a
# debian/control beside it) and what they load or read by name.
mkdir -p "$work/debian"
printf 'Source: ostrovid\n\nPackage: ostrovid\nArchitecture: any\n' >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O "${elves[@]/#/-e}" 2>"$work/shlibdeps.log" | sed -n 's/^shlibs:Depends=//p') ||
    { cat "$work/shlibdeps.log" >&2; fail "dpkg-shlibdeps failed"; }
[[ -n "$shlibs" ]] || fail "dpkg-shlibdeps found no dependencies"
# The landmark model, the database drivers (Qt plugins), the voices, the font the windows ask for
# by name, and groupadd of postinst.
depends="$shlibs, libdlib-data, libqt6sql6-sqlite, libqt6sql6-psql, espeak-ng-data, fonts-crosextra-carlito, passwd"

install -d "$stage/DEBIAN"
install -m 0755 "$top/packaging/debian/postinst" "$top/packaging/debian/prerm" "$top/packaging/debian/postrm" \
    "$stage/DEBIAN/"
cat >"$stage/DEBIAN/control" <<EOF
Package: ostrovid
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --apparent-size --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends
Recommends: ca-certificates
Section: video
Priority: optional
Description: face identification for video surveillance
 Ostrovid finds and tracks the faces in the frames of web and IP cameras,
 computes a descriptor for each and matches it against the persons of a
 person database on three watch lists (green, red, gray). Recognized and
 unrecognized persons raise events: frames and labels in the live view, a
 list of recognized persons, an event journal, sound and speech, a CSV log,
 operator scripts, e-mail with pictures, and a TCP/XML management server for
 remote stations. The user interface is Russian.
 .
 The package holds the program, its settings service OstrovidSvc (a systemd
 unit), the script runner Velox, the tools ostrovid-enrol, ostrovid-faces and
 ostrovid-dbinit, and the face descriptor network. Operators are the members
 of the group ostrovid.
EOF
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

deb=$out/ostrovid_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "package: $deb ($(du -h "$deb" | cut -f1))"
