#!/usr/bin/env bash
# Records the null sink's monitor while the wave probe plays a known signal,
# then checks that every sample of the signal reached the sound server.
# usage: wave-recording.sh PROBE.exe WORKDIR
set -uo pipefail
probe=$1
work=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work"
rm -f "$work/expected.raw" "$work/recorded.raw" "$work/release"
if [ -z "${TARVEL_WINE_ENV:-}" ]; then
  exec "$here/scripts/with-wine-env.sh" "$0" "$@"
fi
device=${TARVEL_SINK:-tarvel}.monitor
parec --device="$device" --format=s16le --rate=44100 --channels=2 --raw "$work/recorded.raw" &
recorder=$!
sleep 0.5
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }
compare() {  # recording: does it hold the whole signal?
  timeout -k 5 60 "$here/scripts/wine-exec.sh" "$probe" compare "$(winpath "$work/expected.raw")" "$(winpath "$1")"
}
# The probe reports the end once the device has played its last buffer, but
# a stall of a busy machine can leave the sound server seconds behind, and
# closing the device drops what the server still holds: the probe keeps the
# device open until the recording holds the whole signal (checked every
# 0.5 s, for at most 20 s) and this script releases it.
timeout -k 5 60 "$here/scripts/wine-exec.sh" "$probe" play "$(winpath "$work/expected.raw")" \
  "$(winpath "$work/release")" >"$work/probe.out" &
prober=$!
for ((i = 0; i < 120; i++)); do
  sleep 0.5
  kill -0 "$prober" 2>/dev/null || break
  grep -q '^played' "$work/probe.out" || continue
  cp "$work/recorded.raw" "$work/recorded-so-far.raw"
  compare "$work/recorded-so-far.raw" >/dev/null 2>&1 && break
done
touch "$work/release"
wait "$prober"
status=$?
cat "$work/probe.out"
[ $status -eq 124 ] && echo "gave up after 60 s waiting for the probe to play its signal"
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null
[ $status -eq 0 ] || exit $status
compare "$work/recorded.raw"
