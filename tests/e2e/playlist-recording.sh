#!/usr/bin/env bash
# A double click on the second row of the real Tarvel.exe's playlist window
# plays that row's file: while the null sink's monitor is recorded, the
# program starts with a resume playlist of a tone and a known signal, shows
# its playlist window (P), and the signal's row is double-clicked. The
# recording must hold the signal's samples, unchanged and in order, and
# nothing of the tone.
# usage: playlist-recording.sh PROBE.exe Tarvel.exe WORKDIR
set -uo pipefail
probe=$1 tarvel=$2 work=$3
source "$(dirname "$0")/recording-common.sh"

wine "$probe" tone-wav "$(winpath "$work/a.wav")" 44100 1.5 440 || exit 1
wine "$probe" signal-wav "$(winpath "$work/b.wav")" 1.5 || exit 1
tail -c +45 b.wav >expected.raw
printf '%s\r\n%s\r\n' "$(winpath "$work/a.wav")" "$(winpath "$work/b.wav")" >PrePlayList.m3u

show_and_double_click() {
  sleep 3
  wine "$probe" press-key $((0x50)) || return 1   # P: the playlist window
  sleep 1
  wine "$probe" double-click-row 1 || return 1
  sleep 4   # 1.5 s of audio and the device's queue
}
record_player recorded.raw show_and_double_click || exit 1
wine "$probe" compare "$(winpath "$work/expected.raw")" "$(winpath "$work/recorded.raw")" alone
