#!/usr/bin/env bash
# CPU cost of playing, in one run (not a test): CPU seconds per minute of
# playback of FILE used by
#   - Tarvel.exe with its window shown (the face and the analyser drawing),
#   - Tarvel.exe hidden in the tray,
#   - the floor: a minimal program streaming the same decoded PCM through the
#     same wave output (ten buffers of 65536 bytes) under the same Wine,
#   - the floor with drawing: the same program also redrawing an area of the
#     analyser's size in a shown window every 10 ms, the analyser's pace
#     (what any program pays under this Wine to show such an analyser),
#   - mpg123 playing the file to the same PulseAudio sink;
# and the player's own share (Tarvel.exe less the floor) against mpg123; for
# the window shown, also what it costs beyond the floor with drawing.
# BENCH_ROUNDS=N repeats the four, one after the other, N times and reports
# the median of each: Wine's wave output alone moves by a second a minute
# from one run to the next.
# usage: scripts/bench-player.sh FILE.mp3 SECONDS
#        scripts/bench-player.sh idle SECONDS   (the window shown, nothing playing)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${2:-60}
# Another build of the program may be measured: TARVEL_EXE=path/Tarvel.exe
exe=${TARVEL_EXE:-$root/build/win/Tarvel.exe}
probe=$root/build/win/bin/tarvel_wave_probe.exe
decode=$root/build/native/bin/tarvel-decode
idle=0
if [ "$1" = idle ]; then idle=1; else file=$(realpath "$1"); fi
source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start headless || exit 1
# The program leaves its resume playlist in the folder it runs in.
work=$(mktemp -d)
cd "$work" || exit 1
command -v mpg123 >/dev/null || { echo "bench: mpg123 is not installed" >&2; exit 1; }
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

cpu_of() {  # pid -> user+system seconds
  awk -v hz="$(getconf CLK_TCK)" '{printf "%.2f", ($14 + $15) / hz}' "/proc/$1/stat"
}
per_minute() { awk -v c="$1" -v s="$seconds" 'BEGIN{printf "%.2f", c * 60 / s}'; }

# Tarvel.exe for the measured seconds, from 2 s after its start; $1: keys
# typed first (virtual-key codes). Prints its CPU seconds.
run_player() {
  "$WINE" reg delete 'HKCU\Software\Quenby\Tarvel' /f >/dev/null 2>&1
  if [ $idle -eq 1 ]; then "$WINE" "$exe" >/dev/null 2>&1 & else "$WINE" "$exe" "$(winpath "$file")" >/dev/null 2>&1 & fi
  local player=$!
  sleep 2
  local key
  for key in $1; do "$WINE" "$probe" press-key "$key" >/dev/null 2>&1; done
  local pid
  pid=$(pgrep -n -f -i 'Tarvel\.exe')
  local before after
  before=$(cpu_of "$pid")
  sleep "$seconds"
  after=$(cpu_of "$pid")
  "$WINE" "$probe" close-player >/dev/null 2>&1
  wait "$player" 2>/dev/null
  awk -v a="$before" -v b="$after" 'BEGIN{printf "%.2f", b - a}'
}

if [ $idle -eq 1 ]; then
  echo "idle, window shown: Tarvel.exe $(per_minute "$(run_player "")") CPU s per minute"
  exit 0
fi

# The floor: the file decoded once, then streamed.
[ -x "$decode" ] || make -C "$root" --no-print-directory tools >/dev/null
"$decode" --raw "$file" "$work/decoded.raw" >/dev/null || exit 1
run_floor() {  # $1: draw, or nothing
  "$WINE" "$probe" stream "$(winpath "$work/decoded.raw")" $((seconds + 3)) ${1:-} >/dev/null 2>&1 &
  local floor=$!
  sleep 2
  local fpid before after
  fpid=$(pgrep -n -f -i 'tarvel_wave_probe\.exe stream')
  before=$(cpu_of "$fpid")
  sleep "$seconds"
  after=$(cpu_of "$fpid")
  wait "$floor" 2>/dev/null
  awk -v a="$before" -v b="$after" 'BEGIN{printf "%.2f", b - a}'
}
run_mpg123() {
  mpg123 -q -o pulse "$file" >/dev/null 2>&1 &
  local mpid=$!
  sleep "$((seconds + 2))"
  cpu_of "$mpid"
  kill "$mpid" 2>/dev/null
  wait "$mpid" 2>/dev/null
}
median() { tr ' ' '\n' | sort -g | awk '{v[NR] = $1} END {printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

shown_runs="" tray_runs="" floor_runs="" drawn_runs="" mpg_runs=""
for ((round = 0; round < ${BENCH_ROUNDS:-1}; round++)); do
  shown_runs+=" $(run_player "")"
  tray_runs+=" $(run_player $((0x72)))"   # F3: into the tray
  floor_runs+=" $(run_floor)"
  drawn_runs+=" $(run_floor draw)"
  mpg_runs+=" $(run_mpg123)"
done
shown=$(median <<<"${shown_runs# }")
tray=$(median <<<"${tray_runs# }")
floorcpu=$(median <<<"${floor_runs# }")
drawn=$(median <<<"${drawn_runs# }")
mpg=$(median <<<"${mpg_runs# }")

echo "per minute of playback of $(basename "$file"), CPU seconds (median of ${BENCH_ROUNDS:-1}):"
echo "  Tarvel.exe shown    $(per_minute "$shown")"
echo "  Tarvel.exe in tray  $(per_minute "$tray")"
echo "  floor (wave output) $(per_minute "$floorcpu")"
echo "  floor with drawing  $(per_minute "$drawn")"
echo "  mpg123              $(per_minute "$mpg")"
awk -v t="$shown" -v r="$tray" -v f="$floorcpu" -v d="$drawn" -v m="$mpg" -v s="$seconds" 'BEGIN{
  printf "  own share, shown:   %.2f (%.2f x mpg123)\n", (t - f) * 60 / s, (m > 0) ? (t - f) / m : 0
  printf "  shown beyond the floor with drawing: %.2f (%.2f x mpg123)\n", (t - d) * 60 / s, (m > 0) ? (t - d) / m : 0
  printf "  own share, in tray: %.2f (%.2f x mpg123)\n", (r - f) * 60 / s, (m > 0) ? (r - f) / m : 0 }'
rm -rf "$work"
