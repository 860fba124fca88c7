#!/usr/bin/env bash
# Decoder benchmark: CPU time of tarvel-decode against mpg123 decoding the
# same file, in one run: scripts/bench-decode.sh FILE [ROUNDS] [LEVEL]
# Prints the best user+system time of each over the rounds and their ratio
# (above 1: tarvel-decode is slower). LEVEL (baseline, avx2 or avx512) holds
# tarvel-decode to that processor level, against mpg123's matching decoder:
# its SSE decoder (--cpu x86-64) for the baseline, its own choice otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
file=$1
rounds=${2:-5}
level=${3:-}
tarvel_args=() mpg123_args=()
if [ -n "$level" ]; then
  tarvel_args=(--cpu="$level")
  [ "$level" = baseline ] && mpg123_args=(--cpu x86-64)
fi
decoder="$root/build/native/bin/tarvel-decode"
[ -x "$decoder" ] || { echo "bench: build the tools first (make tools)" >&2; exit 1; }
command -v mpg123 >/dev/null || { echo "bench: mpg123 is not installed" >&2; exit 1; }

cpu() {  # user+system seconds of one command
  local t TIMEFORMAT='%3U %3S'
  t=$( { time "$@" >/dev/null 2>/dev/null; } 2>&1 | tail -1 )
  awk '{printf "%.3f", $1 + $2}' <<<"$t"
}
best_t=999999 best_m=999999
for ((i = 0; i < rounds; i++)); do
  t=$(cpu "$decoder" "${tarvel_args[@]}" --raw "$file" /dev/null)
  m=$(cpu mpg123 "${mpg123_args[@]}" -q -s "$file")
  best_t=$(awk -v a="$best_t" -v b="$t" 'BEGIN{print (b < a) ? b : a}')
  best_m=$(awk -v a="$best_m" -v b="$m" 'BEGIN{print (b < a) ? b : a}')
done
awk -v t="$best_t" -v m="$best_m" -v f="$(basename "$file")" \
  'BEGIN{printf "%s: tarvel-decode %.3f s, mpg123 %.3f s, ratio %.2f\n", f, t, m, (m > 0) ? t / m : 0}'
