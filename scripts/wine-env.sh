# Wine environment for Tarvel: sourced by the scripts that run Windows code.
#
#   wine_env_start headless   Xvfb, a private PulseAudio with a null sink
#                             "tarvel" and the project's Wine prefix
#   wine_env_start desktop    the user's display and sound when there are
#                             any; headless parts only for what is missing
#   wine_env_stop             stops what wine_env_start started, by PID
#
# After wine_env_start: WINEPREFIX, DISPLAY, PULSE_SERVER, LC_ALL are
# exported, TARVEL_WINE_ENV=1, and $WINE runs a Windows program.

TARVEL_ROOT=${TARVEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# Bump when the prefix set-up below changes: the prefix is then made anew.
TARVEL_PREFIX_VERSION=1

_tarvel_pids=()
_tarvel_runtime=""

_wine_env_log() { echo "wine-env: $*" >&2; }

_wine_env_start_xvfb() {
  local fifo="$_tarvel_runtime/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  _tarvel_pids+=($!)
  local display
  read -r -t 20 display <"$fifo" || { _wine_env_log "Xvfb did not start"; return 1; }
  export DISPLAY=":$display"
}

_wine_env_start_pulse() {
  local dir="$_tarvel_runtime/pulse"
  mkdir -p "$dir"
  PULSE_RUNTIME_PATH="$dir" PULSE_STATE_PATH="$dir" HOME="$dir" \
    pulseaudio --daemonize=no --exit-idle-time=-1 --system=false -n --use-pid-file=no \
      --load="module-null-sink sink_name=tarvel rate=44100 norewinds=1" \
      --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
      --load="module-always-sink" >"$dir/log" 2>&1 &
  _tarvel_pids+=($!)
  export PULSE_SERVER="unix:$dir/native"
  local i
  for i in $(seq 1 100); do
    [ -S "$dir/native" ] && pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  pactl info >/dev/null 2>&1 || { _wine_env_log "PulseAudio did not start (see $dir/log)"; return 1; }
  pactl set-default-sink tarvel >/dev/null
  export TARVEL_SINK=tarvel
}

# $1: "Y" to let a window manager manage the program's windows (a desktop),
# "N" for Xvfb, where no window manager runs: Wine would otherwise wait two
# seconds for one at every window that is hidden or destroyed.
_wine_env_prepare_prefix() {
  local managed=$1
  local stamp="$WINEPREFIX/.tarvel-prefix"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$TARVEL_PREFIX_VERSION$managed" ]; then
    return 0
  fi
  _wine_env_log "creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # wineboot's output goes to a file: Wine's background processes keep the
  # standard output of the first process of a prefix open.
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i >"$WINEPREFIX.wineboot.log" 2>&1
  "$WINESERVER" -w
  # Face names must reach the registry as UTF-16.
  local reg="$WINEPREFIX.reg"
  iconv -f UTF-8 -t UTF-16LE >"$reg.body" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="$managed"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

REG
  { printf '\xff\xfe'; cat "$reg.body"; } >"$reg"
  ( cd "$(dirname "$reg")" && "$WINE" regedit /S "$(basename "$reg")" >/dev/null 2>&1 )
  "$WINESERVER" -w
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  rm -f "$reg" "$reg.body"
  echo "$TARVEL_PREFIX_VERSION$managed" >"$stamp"
}

wine_env_start() {
  local mode=${1:-headless}
  _tarvel_runtime=$(mktemp -d "${TMPDIR:-/tmp}/tarvel-env.XXXXXX")
  export LC_ALL=ja_JP.UTF-8
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win64
  local managed=N

  if [ "$mode" = desktop ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    _wine_env_log "using the display $DISPLAY"
    managed=Y
  else
    [ "$mode" = desktop ] && _wine_env_log "no display: running headless on Xvfb"
    _wine_env_start_xvfb || return 1
  fi
  if [ "$mode" = desktop ] && pactl info >/dev/null 2>&1; then
    _wine_env_log "using the sound server $(pactl info 2>/dev/null | sed -n 's/^Server Name: //p')"
  else
    [ "$mode" = desktop ] && _wine_env_log "no sound server: playing into a private null sink"
    _wine_env_start_pulse || return 1
  fi

  # One prefix for headless runs and tests, one for a desktop.
  local name=prefix
  [ "$managed" = Y ] && name=prefix-desktop
  export WINEPREFIX=${TARVEL_WINEPREFIX:-$TARVEL_ROOT/build/wine/$name}
  mkdir -p "$(dirname "$WINEPREFIX")"
  _wine_env_prepare_prefix "$managed" || return 1
  # One wineserver for the whole run: every Wine process of the run shares it.
  "$WINESERVER" -f -p >"$_tarvel_runtime/wineserver.log" 2>&1 &
  _tarvel_pids+=($!)
  # Wine's background processes (services, the desktop) keep the standard
  # output of the process that started them: start them here, writing to a
  # file, so that no test runner waits on them for the end of its output.
  "$WINE" wineboot >"$_tarvel_runtime/wineboot.log" 2>&1
  "$WINE" rundll32 user32.dll,GetDesktopWindow >>"$_tarvel_runtime/wineboot.log" 2>&1 || true
  export TARVEL_WINE_ENV=1
}

wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    # Ends every Wine process of this run; the server itself goes below.
    "$WINESERVER" -k >/dev/null 2>&1 || true
  fi
  local i
  for (( i=${#_tarvel_pids[@]}-1; i>=0; i-- )); do
    kill "${_tarvel_pids[$i]}" 2>/dev/null || true
  done
  for (( i=${#_tarvel_pids[@]}-1; i>=0; i-- )); do
    wait "${_tarvel_pids[$i]}" 2>/dev/null || true
  done
  _tarvel_pids=()
  [ -n "$_tarvel_runtime" ] && rm -rf "$_tarvel_runtime"
  _tarvel_runtime=""
  unset TARVEL_WINE_ENV
}
