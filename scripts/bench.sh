#!/usr/bin/env bash
# Builds the tools, makes a 90-second test signal, encodes it with twolame
# (Layer II, 192 kbit/s) and runs the decoder benchmark against mpg123.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for p in mpg123 twolame sox; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y -qq $missing >/dev/null; else sudo apt-get install -y -qq $missing >/dev/null; fi
fi
make --no-print-directory tools >/dev/null
dir=build/bench
mkdir -p "$dir"
if [ ! -f "$dir/signal.wav" ]; then
  # Two gliding tones over pink noise with a tremolo: busy in every band.
  sox -n -r 44100 -c 2 -b 16 "$dir/signal.wav" synth 90 sine 220-880 sine 330-1760 pinknoise \
    tremolo 3 40 vol 0.5
fi
[ -f "$dir/layer2-192.mp2" ] || twolame --quiet -b 192 "$dir/signal.wav" "$dir/layer2-192.mp2"
scripts/bench-decode.sh "$dir/layer2-192.mp2" 5
