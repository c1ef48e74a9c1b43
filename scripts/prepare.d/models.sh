#!/usr/bin/env bash
# Makes the two model files in Data/: the descriptor network converted from face-api's published
# weights (npm package kept in a cache outside the repository) and Debian's 68-point landmark model.
# Files a user placed in Data/ himself are left alone. Usage: models.sh <source dir> <build dir>
set -euo pipefail
top=${1:?source folder}
build=${2:?build folder}

package=@vladmandic/face-api
version=1.7.15
cache=${XDG_CACHE_HOME:-$HOME/.cache}/ostrovid/npm
model_dir=$cache/node_modules/$package/model
manifest=$model_dir/face_recognition_model-weights_manifest.json
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

# No cache yet (a fresh machine) reads as no version installed.
installed=
if [[ -f "$cache/node_modules/$package/package.json" ]]; then
    installed=$(sed -n 's/^ *"version": *"\([^"]*\)".*/\1/p;T;q' "$cache/node_modules/$package/package.json")
fi
if [[ "$installed" != "$version" || ! -f "$manifest" ]]; then
    command -v npm >/dev/null || fail "npm is missing (Debian package nodejs)"
    echo "models: installing $package@$version into $cache"
    mkdir -p "$cache"
    npm install --prefix "$cache" --no-save --ignore-scripts --no-audit --no-fund --no-update-notifier \
        --omit=dev --omit=peer --omit=optional "$package@$version" >/dev/null ||
        fail "npm install of $package@$version into $cache failed"
    [[ -f "$manifest" ]] || fail "$manifest missing after npm install"
fi

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
    echo "models: $(basename "$network") converted from $package@$version, sha256 $(cat "$stamp")"
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
