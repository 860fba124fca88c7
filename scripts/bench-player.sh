#!/usr/bin/env bash
# CPU cost of playing: CPU seconds the Tarvel.exe process uses per minute of
# playback of FILE, against mpg123 playing the same file to the same
# PulseAudio sink, in one run (not a test).
# usage: scripts/bench-player.sh FILE.mp3 SECONDS
#        scripts/bench-player.sh idle SECONDS   (the window shown, nothing playing)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${2:-60}
# Another build of the program may be measured: TARVEL_EXE=path/Tarvel.exe
exe=${TARVEL_EXE:-$root/build/win/Tarvel.exe}
idle=0
if [ "$1" = idle ]; then idle=1; else file=$(realpath "$1"); fi
source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start headless || exit 1
# The program leaves its resume playlist in the folder it runs in.
cd "$(mktemp -d)" || exit 1
command -v mpg123 >/dev/null || { echo "bench: mpg123 is not installed" >&2; exit 1; }

cpu_of() {  # pid -> user+system seconds
  awk -v hz="$(getconf CLK_TCK)" '{printf "%.2f", ($14 + $15) / hz}' "/proc/$1/stat"
}

if [ $idle -eq 1 ]; then
  "$WINE" "$exe" >/dev/null 2>&1 &
  player=$!
  sleep 2
  pid=$(pgrep -n -f -i 'Tarvel\.exe')
  before=$(cpu_of "$pid")
  sleep "$seconds"
  after=$(cpu_of "$pid")
  "$WINE" "$root/build/win/bin/tarvel_wave_probe.exe" close-player >/dev/null 2>&1
  wait "$player" 2>/dev/null
  awk -v a="$before" -v b="$after" -v s="$seconds" 'BEGIN{printf "idle, window shown: Tarvel.exe %.2f CPU s per minute\n", (b-a)*60/s}'
  exit 0
fi
winfile="Z:$(sed 's|/|\\|g' <<<"$file")"
"$WINE" "$exe" "$winfile" >/dev/null 2>&1 &
player=$!
sleep 2
pid=$(pgrep -n -f -i 'Tarvel\.exe .*mp3')
sleep "$seconds"
tarvel=$(cpu_of "$pid")
"$WINE" "$root/build/win/bin/tarvel_wave_probe.exe" close-player >/dev/null 2>&1
wait "$player" 2>/dev/null

mpg123 -q -o pulse "$file" >/dev/null 2>&1 &
mpid=$!
sleep "$((seconds + 2))"
mpg=$(cpu_of "$mpid")
kill "$mpid" 2>/dev/null
wait "$mpid" 2>/dev/null
awk -v t="$tarvel" -v m="$mpg" -v s="$seconds" 'BEGIN{printf "per minute of playback: Tarvel.exe %.2f CPU s, mpg123 %.2f CPU s, ratio %.2f\n", t*60/s, m*60/s, (m > 0) ? t/m : 0}'
