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

parec --device="${TARVEL_SINK:-tarvel}.monitor" --format=s16le --rate=44100 --channels=2 --raw recorded.raw &
recorder=$!
sleep 0.5
"$here/scripts/wine-exec.sh" "$tarvel" &
player=$!
sleep 3
wine "$probe" press-key $((0x50)) || exit 1   # P: the playlist window
sleep 1
wine "$probe" double-click-row 1 || exit 1
# 1.5 s of audio and the device's queue.
sleep 4
wine "$probe" close-player
closed=$?
wait_for "$player" 10 "Tarvel.exe to end after its close" || closed=1
sleep 0.3
kill "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null
[ $closed -eq 0 ] || exit 1
wine "$probe" compare "$(winpath "$work/expected.raw")" "$(winpath "$work/recorded.raw")" alone
