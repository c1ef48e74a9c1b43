#!/usr/bin/env bash
# Makes the two model files in Data/: the descriptor network converted from face-api's published
# weights (npm package kept in a cache outside the repository) and Debian's 68-point landmark model.
# Files a user placed in Data/ himself are left alone. Usage: models.sh <source dir> <build dir>
set -euo pipefail
top=${1:?source folder}
build=${2:?build folder}

# shellcheck source=../lib/face-api.sh
source "$top/scripts/lib/face-api.sh"
manifest=$face_api_manifest
converter=$build/bin/ostrovid-convert-face-weights
data=$top/Data
network=$data/dlib_face_recognition_resnet_model_v1.dat
# What the converter wrote last time; a network file without it (or not matching it) is the user's.
stamp=$data/.dlib_face_recognition_resnet_model_v1.sha256
landmarks=/usr/share/dlib/shape_predictor_68_face_landmarks.dat
examples=/usr/share/doc/libdlib19.1/examples

fail() {
    echo "models: $*" >&2
    exit 1
}

mkdir -p "$data"

face_api_fetch || fail "the weights of $face_api_package cannot be had"

ours=false
if [[ ! -e "$network" ]]; then
    ours=true
elif [[ -f "$stamp" && ! -L "$network" ]]; then
    [[ "$(sha256sum <"$network" | cut -d' ' -f1)" == "$(cat "$stamp")" ]] && ours=true
fi
if $ours; then
    if [[ ! -e "$network" || "$converter" -nt "$stamp" || "$manifest" -nt "$stamp" ]]; then
        [[ -x "$converter" ]] || fail "$converter is not built"
        "$converter" "$manifest" "$network.tmp" || { rm -f "$network.tmp"; fail "$converter could not convert $manifest"; }
        mv -f "$network.tmp" "$network"
        sha256sum <"$network" | cut -d' ' -f1 >"$stamp"
    fi
    echo "models: $(basename "$network") converted from $face_api_package@$face_api_version, sha256 $(cat "$stamp")"
else
    echo "models: keeping the user's $network"
fi

link=$data/$(basename "$landmarks")
if [[ -L "$link" || ! -e "$link" ]]; then
    [[ -f "$landmarks" ]] || fail "$landmarks missing (Debian package libdlib-data)"
    ln -sfn "$landmarks" "$link"
fi

for picture in "$examples/faces/bald_guys.jpg" "$examples/johns/John_Savage"; do
    [[ -e "$picture" ]] || fail "$picture missing (Debian package libdlib19.1); the face tests read it"
done
