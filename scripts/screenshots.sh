#!/usr/bin/env bash
# Takes pictures of the real Tarvel.exe while it plays generated tones: the
# main window at scale 1 and 2, the compact face and the playlist window,
# into docs/.
# usage: scripts/screenshots.sh (after make win)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start headless || exit 1
win="$root/build/win"
probe="$win/bin/tarvel_wave_probe.exe"
work=$(mktemp -d)
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }
wine() { timeout -k 5 60 "$WINE" "$@"; }

titles=("Morning Light over the Harbour" "Second Wind" "Paper Lanterns" "Slow River")
files=()
for i in "${!titles[@]}"; do
  wine "$probe" tone-wav "$(winpath "$work/${titles[$i]}.wav")" $((i == 2 ? 48000 : 44100)) $((60 + 37 * i)) $((440 + 110 * i)) || exit 1
  files+=("$(winpath "$work/${titles[$i]}.wav")")
done
# From the work folder, where the program leaves its resume playlist.
(cd "$work" && exec "$WINE" "$win/Tarvel.exe" "${files[@]}") &
player=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --classname tarvel.exe 2>/dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "screenshots: gave up after 10 s waiting for the main window"; exit 1; }
shot() {  # seconds to wait, picture[, window]: the screen, cut to the window
  # Away from the buttons and their tips (F2 puts the pointer on one): over
  # the face first, so that the tip goes, then off the window.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + WIDTH / 3)) $((Y + HEIGHT / 2)); sleep 0.3
  xdotool mousemove 1270 1010
  sleep "$1"
  eval "$(xdotool getwindowgeometry --shell "${3:-$window}")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$root/docs/$2" &&
    echo "screenshots: docs/$2 (${WIDTH}x${HEIGHT})"
}
shot 4.5 main-1x.png
wine "$probe" press-key $((0x71)) >/dev/null   # F2: scale 2
shot 2 main-2x.png
wine "$probe" press-key $((0x71)) >/dev/null   # F2, F2: back to 1
wine "$probe" press-key $((0x71)) >/dev/null
wine "$probe" press-key $((0x74)) >/dev/null   # F5: the compact face
shot 2 main-compact.png
wine "$probe" press-key $((0x74)) >/dev/null   # F5: the full face again
wine "$probe" press-key $((0x50)) >/dev/null   # P: the playlist window
sleep 1
list=$(xdotool search --onlyvisible --name "Tarvel PlayList" 2>/dev/null | head -1)
[ -n "$list" ] || { echo "screenshots: no playlist window"; exit 1; }
wine "$probe" double-click-row 1 >/dev/null     # the second row plays
shot 1 playlist.png "$list"
wine "$probe" close-player >/dev/null
wait "$player" 2>/dev/null
rm -rf "$work"
