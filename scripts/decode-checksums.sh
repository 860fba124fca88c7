#!/usr/bin/env bash
# A checksum of what a tarvel-decode makes of every conformance stream and
# of the benchmark's files, one line each, to compare the output of two
# builds: scripts/decode-checksums.sh [TARVEL-DECODE] > list
# TARVEL_CPU=baseline|avx2|avx512 holds the decoder to that processor level.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
decoder=${1:-$root/build/native/bin/tarvel-decode}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for f in "$root"/tests/data/conformance/*.bit "$root"/build/bench/*.mp[23]; do
  [ -f "$f" ] || continue
  if "$decoder" ${TARVEL_CPU:+--cpu=$TARVEL_CPU} --raw "$f" "$out" >/dev/null 2>&1; then
    echo "$(sha256sum <"$out" | cut -c1-16) $(basename "$f")"
  else
    echo "failed $(basename "$f")"
  fi
done
