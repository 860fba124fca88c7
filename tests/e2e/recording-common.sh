# Shared by the recording tests (sourced): runs the caller inside the Wine
# environment, checks its input, gives a fresh work folder, and runs Windows
# programs with a time limit.
# Needs: work, the caller's "$0" and "$@", and stream (the test's input
# file) when it reads one.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ -z "${TARVEL_WINE_ENV:-}" ]; then
  exec "$here/scripts/with-wine-env.sh" "$0" "$@"
fi
if [ -n "${stream:-}" ] && [ ! -f "$stream" ]; then
  echo "missing test input: $stream"
  exit 1
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
# A Windows program that must end within 60 s.
wine() {
  timeout -k 5 60 "$here/scripts/wine-exec.sh" "$@"
  local status=$?
  [ $status -eq 124 ] && echo "gave up after 60 s waiting for: $*" >&2
  return $status
}
# Waits up to SECONDS for the background process PID to end; says WHAT it
# waited for and ends it when the limit passes.
wait_for() {  # pid, seconds, what
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    kill -0 "$1" 2>/dev/null || { wait "$1" 2>/dev/null; return 0; }
    sleep 0.1
  done
  echo "gave up after $2 s waiting for $3" >&2
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 1
}
winpath() { echo "Z:$1" | sed 's|/|\\|g'; }
# Every start of the program here is a first run: settings other tests left
# (a playlist window shown, say) would change what it does.
wine reg delete 'HKCU\Software\Quenby\Tarvel' /f >/dev/null 2>&1
# Nothing started here outlives the test, however it ends: a player still
# running is closed and the recorder stopped.
stop_leftovers() {
  "$here/scripts/wine-exec.sh" "$probe" close-player >/dev/null 2>&1
  local job
  for job in $(jobs -p); do kill "$job" 2>/dev/null; done
}
trap stop_leftovers EXIT
# Records the null sink's monitor into RECORDING while Tarvel.exe plays:
# starts the recorder, then the player with the given arguments, runs STEPS
# (a command: the waits and input of the test), closes the player and stops
# the recorder. Fails when a step fails or the player does not close.
record_player() {  # recording, steps, Tarvel.exe arguments...
  local recording=$1 steps=$2 status=0
  shift 2
  parec --device="${TARVEL_SINK:-tarvel}.monitor" --format=s16le --rate=44100 --channels=2 --raw "$recording" &
  local recorder=$!
  sleep 0.5
  "$here/scripts/wine-exec.sh" "$tarvel" "$@" &
  local player=$!
  $steps || status=1
  wine "$probe" close-player >/dev/null || status=1
  wait_for "$player" 10 "Tarvel.exe to end after its close" || status=1
  sleep 0.3
  kill "$recorder" 2>/dev/null
  wait "$recorder" 2>/dev/null
  return $status
}
