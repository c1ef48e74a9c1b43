#!/usr/bin/env bash
# Prepares the demonstration in DEMO_DIR (layout.sh says what goes where): the looping camera
# video and the enrolment folders made from Debian's dlib example faces, the person database with
# three of those people enrolled by ostrovid-enrol on the green, red and gray lists, the settings
# store with the demonstration camera, the alerts, the unknown-visitor script and the management
# server. Idempotent: what exists and is current is kept. Any failed step stops it with a message
# and a non-zero status.
# Usage: prepare.sh DEMO_DIR BUILD_DIR [EXAMPLES_DIR]
# The face models are BUILD_DIR/bin/Data unless OSTROVID_DATA_DIR names another folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
demo=${1:?demonstration folder}
build=${2:?build folder}
examples=${3:-/usr/share/doc/libdlib19.1/examples}
models=${OSTROVID_DATA_DIR:-$build/bin/Data}

fail() {
    echo "demo: $*" >&2
    exit 1
}

tool=$build/bin/ostrovid-demo
enrol=$build/bin/ostrovid-enrol
dbinit=$build/bin/ostrovid-dbinit
for file in "$tool" "$enrol" "$dbinit"; do
    [[ -x $file ]] || fail "$file has not been built"
done
for folder in "$examples/johns" "$examples/faces"; do
    [[ -d $folder ]] || fail "$folder is missing (Debian package libdlib19.1)"
done
[[ -f $models/dlib_face_recognition_resnet_model_v1.dat ]] || fail "no face models in $models (scripts/prepare.d/models.sh makes them)"

mkdir -p "$demo" || fail "cannot create $demo"
demo=$(cd "$demo" && pwd)
# shellcheck source=layout.sh
source "$here/layout.sh" "$demo"
# The program runs as the operator: its log and temporary pictures go to TMPDIR.
install -d -m 1777 "$TMPDIR" || fail "cannot create $TMPDIR"
mkdir -p "$OSTROVID_SVC_LOG_DIR" "$OSTROVID_AUTOSTART_DIR" || fail "cannot create the folders in $demo"

# The video and the enrolment pictures, made again when the tool has changed.
made=$demo/.made
if [[ ! -f $made || $tool -nt $made || ! -s $demo/camera.mjpeg || ! -d $demo/people ]]; then
    "$tool" make --examples "$examples" --data "$models" "$demo" || fail "the camera video could not be made"
    touch "$made"
fi

"$dbinit" >/dev/null || fail "the demonstration's database could not be created"
data=$OSTROVID_COMMON_APPDATA/Vektra/Ostrovid
database=$data/Ostrovid.db
enrolled=$demo/.enrolled
if [[ ! -f $enrolled || $made -nt $enrolled || $database -nt $enrolled ]]; then
    for list in green red gray; do
        "$enrol" --list "$list" --db "Provider=SQLite;Data Source=$database" --data "$models" "$demo/people/$list" ||
            fail "ostrovid-enrol could not enrol $demo/people/$list into $database"
    done
    touch "$enrolled"
fi

install -m 0755 "$here/unknown-visitor.sh" "$demo/unknown-visitor.sh" || fail "cannot copy the unknown-visitor script"
# The camera's port is set again when the demonstration starts (scripts/start.sh).
"$tool" settings --camera-url "http://127.0.0.1:21080/demo" --script "$demo/unknown-visitor.sh" --csv "$data" \
    >/dev/null || fail "the demonstration's settings could not be written"
echo "demo: prepared in $demo"
