#!/usr/bin/env bash
# Whole-process time of `apdtool inspect FILE` (the summary, no per-block
# hashes) against `md5sum FILE`, side by side in one run on the same file.
#
#   bench/compare_inspect_md5.sh APDTOOL [FILE] [REPETITIONS]
#
# Without FILE a full-size data file (about 16 MB of flash data) is packed
# into a temporary folder first. The file is read once beforehand so both
# programs find it in the page cache; the two commands then alternate, and
# the median of each is reported with their ratio.
set -euo pipefail

apdtool=${1:?usage: $0 APDTOOL [FILE] [REPETITIONS]}
file=${2:-}
reps=${3:-21}

tmp=""
if [[ -z "$file" ]]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  file="$tmp/full.apd"
  "$apdtool" pack --output "$file" --flash-random 16776000 --param-random 1000 --seed 16 >/dev/null
fi

"$apdtool" inspect "$file" >/dev/null  # must load, and warms the cache
cat "$file" >/dev/null

# Microseconds taken by one run of the command, output discarded.
micros() {
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null
  end=$EPOCHREALTIME
  echo $(( (${end/./} - ${start/./}) ))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

inspect_times=()
md5_times=()
for ((i = 0; i < reps; i++)); do
  inspect_times+=("$(micros "$apdtool" inspect "$file")")
  md5_times+=("$(micros md5sum "$file")")
done

inspect_median=$(printf '%s\n' "${inspect_times[@]}" | median)
md5_median=$(printf '%s\n' "${md5_times[@]}" | median)
size=$(stat -c %s "$file")
awk -v i="$inspect_median" -v m="$md5_median" -v s="$size" -v n="$reps" 'BEGIN {
  printf "file size            %d bytes\n", s
  printf "repetitions          %d each, alternating\n", n
  printf "apdtool inspect      median %.1f ms (%.0f MB/s)\n", i / 1000, s / i
  printf "md5sum               median %.1f ms (%.0f MB/s)\n", m / 1000, s / m
  printf "ratio inspect/md5sum %.2f\n", i / m
}'
