#!/usr/bin/env bash
# Plays a WAV file and then an MP3 file with the real Tarvel.exe while the
# null sink's monitor is recorded, and checks that the recording holds the
# WAV's samples followed by tarvel-decode's output for the MP3: every frame,
# unchanged and in order (silence between and around them is allowed).
# usage: playback-recording.sh PROBE.exe Tarvel.exe tarvel-decode.exe WORKDIR DATA
set -uo pipefail
probe=$1 tarvel=$2 decode=$3 work=$4 data=$5
stream="$data/conformance/l3-hecommon.bit"
source "$(dirname "$0")/recording-common.sh"

wine "$probe" signal-wav "$(winpath "$work/a.wav")" 1.5 || exit 1
cp "$stream" b.mp3
# Through standard output, which must carry the PCM bytes unchanged.
wine "$decode" --raw "$(winpath "$work/b.mp3")" - >b.raw || exit 1
{ tail -c +45 a.wav; cat b.raw; } >expected.raw

# 1.5 s and 3.0 s of audio, the device's queue and the track change.
record_player recorded.raw "sleep 7" "$(winpath "$work/a.wav")" "$(winpath "$work/b.mp3")" || exit 1
wine "$probe" compare "$(winpath "$work/expected.raw")" "$(winpath "$work/recorded.raw")"
