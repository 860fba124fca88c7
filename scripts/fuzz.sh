#!/usr/bin/env bash
# Fuzzes with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer:
# scripts/fuzz.sh [SECONDS] [decoder|playlist]
# decoder (the default): the stream feed and the decoder, seeded with the
# conformance streams; playlist: playlist text and the path rules.
# The corpus grows in build/fuzz/TARGET/corpus (build/fuzz/corpus for the
# decoder); findings land in build/fuzz/findings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
target=${2:-decoder}
cd "$root"
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y -qq $missing >/dev/null; else sudo apt-get install -y -qq $missing >/dev/null; fi
fi
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DTARVEL_FUZZ=ON >/dev/null
cmake --build build/fuzz --target "tarvel_${target}_fuzz"
mkdir -p build/fuzz/findings build/fuzz/seeds
if [ "$target" = playlist ]; then
  corpus=build/fuzz/playlist/corpus
  seeds=build/fuzz/playlist/seeds
  mkdir -p "$corpus" "$seeds"
  printf '\x07#EXTM3U\r\n#EXTINF:1,A - B\r\nsub\\a.mp3\r\n\\Music\\b.mp3\nC:\\x\\..\\c.wav' >"$seeds/extended"
  printf '\x00..\\..\\\x95\x5c\\d.mp3\n\\\\srv\\share\\e.mp2\r\nC:f.mp1\n' >"$seeds/paths"
  build/fuzz/bin/tarvel_playlist_fuzz "$corpus" "$seeds" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix=build/fuzz/findings/ -print_final_stats=1
  echo "fuzz: corpus of $(ls "$corpus" | wc -l) inputs, $(ls build/fuzz/findings | wc -l) findings"
  exit 0
fi
mkdir -p build/fuzz/corpus build/fuzz/seeds build/fuzz/findings
for f in "$root"/tests/data/conformance/*.bit; do
  # Options byte 0, no seek, then the first 16 KiB of the stream.
  { printf '\x00\x00'; head -c 16384 "$f"; } >"build/fuzz/seeds/$(basename "$f")"
done
build/fuzz/bin/tarvel_decoder_fuzz build/fuzz/corpus build/fuzz/seeds \
  -max_total_time="$seconds" -max_len=20000 -timeout=10 -rss_limit_mb=4096 \
  -artifact_prefix=build/fuzz/findings/ -print_final_stats=1
echo "fuzz: corpus of $(ls build/fuzz/corpus | wc -l) inputs, $(ls build/fuzz/findings | wc -l) findings"
