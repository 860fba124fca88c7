#!/usr/bin/env bash
# Starts Tarvel.exe under Wine with the user's display and sound, or headless
# when there is none: scripts/run.sh [FILES...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
wine_env_start desktop || exit 1
[ -n "${TARVEL_SINK:-}" ] && echo "run: headless sound: record it with parec --device=$TARVEL_SINK.monitor (PULSE_SERVER=$PULSE_SERVER)"
echo "run: Tarvel.exe on display $DISPLAY"
# Arguments are Unix paths of the files to play: hand them over as Windows paths.
args=()
for a in "$@"; do
  if [ -e "$a" ]; then args+=("$(realpath "$a" | sed 's|^|Z:|; s|/|\\|g')"); else args+=("$a"); fi
done
# In the background, so that a signal to this script stops the environment at once.
"$WINE" "$root/build/win/Tarvel.exe" "${args[@]}" &
wait $!
echo "run: Tarvel.exe ended with exit code $?"
