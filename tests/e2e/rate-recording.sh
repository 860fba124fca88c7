#!/usr/bin/env bash
# Plays a 48000 Hz WAV tone and a 48000 Hz MPEG stream with the real
# Tarvel.exe, one after the other, while the null sink (44100 Hz) is
# recorded, and checks that both last as long as they should and that the
# tone keeps its pitch: the device was opened at their own rate.
# usage: rate-recording.sh PROBE.exe Tarvel.exe tarvel-decode.exe WORKDIR DATA
set -uo pipefail
probe=$1 tarvel=$2 decode=$3 work=$4 data=$5
stream="$data/conformance/l2-fl16.bit"  # Layer II, 256 kbit/s, 48000 Hz, stereo
source "$(dirname "$0")/recording-common.sh"
status=0

play() {  # file, seconds to wait, recording name
  record_player "$3" "sleep $2" "$(winpath "$work/$1")" || status=1
}

wine "$probe" tone-wav "$(winpath "$work/tone48.wav")" 48000 2.0 1000 || exit 1
cp "$stream" stream48.mp2
wine "$decode" --raw "$(winpath "$work/stream48.mp2")" "$(winpath "$work/stream48.raw")" || exit 1
play tone48.wav 5 tone.rec
play stream48.mp2 5 stream.rec

check() {  # label, measured value, low, high
  if awk -v v="$2" -v lo="$3" -v hi="$4" 'BEGIN{exit !(v >= lo && v <= hi)}'; then
    echo "$1 $2 (within $3..$4)"
  else
    echo "$1 $2 (outside $3..$4)"
    status=1
  fi
}
tone=$(wine "$probe" measure "$(winpath "$work/tone.rec")" 44100 2)
echo "48000 Hz WAV recorded at 44100 Hz: $tone"
check "tone seconds" "$(sed -n 's/.*sound=\([0-9.]*\).*/\1/p' <<<"$tone")" 1.95 2.05
check "tone pitch" "$(sed -n 's/.*pitch=\([0-9.]*\).*/\1/p' <<<"$tone")" 990 1010
expected=$(wine "$probe" measure "$(winpath "$work/stream48.raw")" 48000 2)
got=$(wine "$probe" measure "$(winpath "$work/stream.rec")" 44100 2)
echo "48000 Hz MPEG: decoded $expected, recorded $got"
want=$(sed -n 's/.*sound=\([0-9.]*\).*/\1/p' <<<"$expected")
check "stream seconds" "$(sed -n 's/.*sound=\([0-9.]*\).*/\1/p' <<<"$got")" \
  "$(awk -v w="$want" 'BEGIN{print w - 0.05}')" "$(awk -v w="$want" 'BEGIN{print w + 0.05}')"
exit $status
