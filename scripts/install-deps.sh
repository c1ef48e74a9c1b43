#!/usr/bin/env bash
# Installs the Debian packages listed in debian-packages.txt that are not installed yet, and
# makes the operators' group (operator-group.sh).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# groupadd and usermod belong to the essential package passwd, so this needs no package below.
"$here/operator-group.sh"
mapfile -t wanted < <(grep -Ev '^\s*(#|$)' "$here/debian-packages.txt")
missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages: ${missing[*]}; run as root to install them." >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
