#!/usr/bin/env bash
# Decoder speed against mpg123, in one run, on files made here: a 120-second
# test signal encoded as Layer III at 192 kbit/s and at VBR quality 2 (lame),
# and as Layer II at 256 kbit/s (twolame). Prints each file's CPU times and
# their ratio (above 1: tarvel-decode is slower), for each processor level the
# decoder has forms for and this processor runs (baseline against mpg123's
# SSE decoder, the wide ones against mpg123's own choice). BENCH_PROFILE=1
# adds where tarvel-decode spends its time on each file, by function (perf),
# at the level BENCH_CPU names (the widest by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for p in mpg123 twolame lame sox; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y -qq $missing >/dev/null; else sudo apt-get install -y -qq $missing >/dev/null; fi
fi
make --no-print-directory tools >/dev/null
dir=build/bench
mkdir -p "$dir"
if [ ! -f "$dir/signal120.wav" ]; then
  # Two gliding tones over pink noise with a tremolo: busy in every band.
  sox -n -r 44100 -c 2 -b 16 "$dir/signal120.wav" synth 120 sine 220-880 sine 330-1760 pinknoise \
    tremolo 3 40 vol 0.5
fi
[ -f "$dir/layer3-192.mp3" ] || lame --quiet -b 192 "$dir/signal120.wav" "$dir/layer3-192.mp3"
[ -f "$dir/layer3-v2.mp3" ] || lame --quiet -V 2 "$dir/signal120.wav" "$dir/layer3-v2.mp3"
[ -f "$dir/layer2-256.mp2" ] || twolame --quiet -b 256 "$dir/signal120.wav" "$dir/layer2-256.mp2"
for level in baseline avx2 avx512; do
  if ! build/native/bin/tarvel-decode --cpu=$level --raw "$dir/layer2-256.mp2" /dev/null 2>/dev/null; then
    echo "$level: not run by this processor"
    continue
  fi
  echo "$level:"
  for f in layer3-192.mp3 layer3-v2.mp3 layer2-256.mp2; do
    scripts/bench-decode.sh "$dir/$f" "${BENCH_ROUNDS:-3}" "$level" | sed 's/^/  /'
  done
done
if [ "${BENCH_PROFILE:-0}" = 1 ]; then
  command -v perf >/dev/null || { echo "bench: the profile needs perf (linux-perf)" >&2; exit 1; }
  for f in layer3-192.mp3 layer3-v2.mp3 layer2-256.mp2; do
    echo "where the time goes, $f:"
    perf record -q -o "$dir/perf.data" build/native/bin/tarvel-decode ${BENCH_CPU:+--cpu=$BENCH_CPU} --raw "$dir/$f" \
      /dev/null >/dev/null 2>&1
    perf report -i "$dir/perf.data" --stdio --sort symbol 2>/dev/null | grep -v '^#' | grep -v '^$' | head -8 |
      sed -E -e 's/\(anonymous namespace\):://g' -e 's/ +- +- *$//' -e 's/\[\.\] //' -e 's/^ */  /'
  done
fi
