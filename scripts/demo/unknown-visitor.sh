#!/bin/sh
# The demonstration's action for an unknown person who left the view (run by Velox with the event
# in OSTROVID_* variables): keeps the first picture of him in Unknown/ of the data folder and
# notes the visit in Unknown/visits.txt.
set -eu
folder=${OSTROVID_COMMON_APPDATA:?}/Vektra/Ostrovid/Unknown
mkdir -p "$folder"
kept=
if [ "${OSTROVID_IMAGE_COUNT:-0}" -gt 0 ] && [ -f "${OSTROVID_IMAGE_0_FILE:-}" ]; then
    kept=$folder/$(date +%Y%m%d-%H%M%S)-$$.jpg
    cp "$OSTROVID_IMAGE_0_FILE" "$kept"
fi
printf '%s\t%s\t%s pictures\t%s\n' "${OSTROVID_EVENT_TIME:-}" "${OSTROVID_CAMERA_NAME:-}" \
    "${OSTROVID_IMAGE_COUNT:-0}" "$kept" >>"$folder/visits.txt"
