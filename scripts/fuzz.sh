#!/usr/bin/env bash
# Fuzzes the stream feed and the decoder with libFuzzer under AddressSanitizer
# and UndefinedBehaviorSanitizer: scripts/fuzz.sh [SECONDS]
# The corpus grows in build/fuzz/corpus, seeded with the conformance streams;
# findings land in build/fuzz/findings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
cd "$root"
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y -qq $missing >/dev/null; else sudo apt-get install -y -qq $missing >/dev/null; fi
fi
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DTARVEL_FUZZ=ON >/dev/null
cmake --build build/fuzz --target tarvel_decoder_fuzz
mkdir -p build/fuzz/corpus build/fuzz/seeds build/fuzz/findings
shared="$root/../shared/conformance"
if [ -d "$shared" ]; then
  for f in "$shared"/*.bit; do
    # Options byte 0, no seek, then the first 16 KiB of the stream.
    { printf '\x00\x00'; head -c 16384 "$f"; } >"build/fuzz/seeds/$(basename "$f")"
  done
fi
build/fuzz/bin/tarvel_decoder_fuzz build/fuzz/corpus build/fuzz/seeds \
  -max_total_time="$seconds" -max_len=20000 -timeout=10 -rss_limit_mb=4096 \
  -artifact_prefix=build/fuzz/findings/ -print_final_stats=1
echo "fuzz: corpus of $(ls build/fuzz/corpus | wc -l) inputs, $(ls build/fuzz/findings | wc -l) findings"
