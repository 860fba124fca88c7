#!/usr/bin/env bash
# Records the null sink's monitor while the wave probe plays a known signal,
# then checks that every sample of the signal reached the sound server.
# usage: wave-recording.sh PROBE.exe WORKDIR
set -uo pipefail
probe=$1
work=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work"
rm -f "$work/expected.raw" "$work/recorded.raw"
if [ -z "${TARVEL_WINE_ENV:-}" ]; then
  exec "$here/scripts/with-wine-env.sh" "$0" "$@"
fi
device=${TARVEL_SINK:-tarvel}.monitor
parec --device="$device" --format=s16le --rate=44100 --channels=2 --raw "$work/recorded.raw" &
recorder=$!
sleep 0.5
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }
timeout -k 5 60 "$here/scripts/wine-exec.sh" "$probe" play "$(winpath "$work/expected.raw")"
status=$?
[ $status -eq 124 ] && echo "gave up after 60 s waiting for the probe to play its signal"
compare() {  # recording: does it hold the whole signal?
  timeout -k 5 60 "$here/scripts/wine-exec.sh" "$probe" compare "$(winpath "$work/expected.raw")" "$(winpath "$1")"
}
# The probe ends once the device has handed over its last buffer, while a
# stall of a busy machine can leave the sound server seconds behind (once
# 1.7 s): the recording goes on until it holds the whole signal, for at most
# 10 s, and the last comparison tells what is missing.
if [ $status -eq 0 ]; then
  for ((i = 0; i < 20; i++)); do
    sleep 0.5
    cp "$work/recorded.raw" "$work/recorded-so-far.raw"
    compare "$work/recorded-so-far.raw" >/dev/null 2>&1 && break
  done
fi
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null
[ $status -eq 0 ] || exit $status
compare "$work/recorded.raw"
