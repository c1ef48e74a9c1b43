# Sourced: the npm package whose published weights the descriptor network is converted from
# (MIT), kept in a cache outside the repository. Used by prepare.d/models.sh and package.sh.
face_api_package=@vladmandic/face-api
face_api_version=1.7.15
face_api_cache=${XDG_CACHE_HOME:-$HOME/.cache}/ostrovid/npm
face_api_dir=$face_api_cache/node_modules/$face_api_package
face_api_manifest=$face_api_dir/model/face_recognition_model-weights_manifest.json

# Installs the pinned version into the cache unless it is there already. Says why and returns 1
# when it cannot.
face_api_fetch() {
    # No cache yet (a fresh machine) reads as no version installed.
    local installed=
    if [[ -f "$face_api_dir/package.json" ]]; then
        installed=$(sed -n 's/^ *"version": *"\([^"]*\)".*/\1/p;T;q' "$face_api_dir/package.json")
    fi
    [[ "$installed" == "$face_api_version" && -f "$face_api_manifest" ]] && return 0
    if ! command -v npm >/dev/null; then
        echo "face-api: npm is missing (Debian package nodejs)" >&2
        return 1
    fi
    echo "face-api: installing $face_api_package@$face_api_version into $face_api_cache"
    mkdir -p "$face_api_cache"
    if ! npm install --prefix "$face_api_cache" --no-save --ignore-scripts --no-audit --no-fund --no-update-notifier \
        --omit=dev --omit=peer --omit=optional "$face_api_package@$face_api_version" >/dev/null; then
        echo "face-api: npm install of $face_api_package@$face_api_version into $face_api_cache failed" >&2
        return 1
    fi
    if [[ ! -f "$face_api_manifest" ]]; then
        echo "face-api: $face_api_manifest missing after npm install" >&2
        return 1
    fi
}
