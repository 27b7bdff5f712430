#!/usr/bin/env bash
# Whole-process time of `apdtool inspect FILE` (the summary, no per-block
# hashes) against `md5sum FILE` on the same file, in alternating pairs.
#
#   bench/compare_inspect_md5.sh APDTOOL [FILE] [PAIRS]
#
# Without FILE a full-size data file (16,000,000 bytes of flash data and
# 32,000 of parameter data, 71,429 and 500 blocks) is packed into a temporary
# folder first. Both programs run once beforehand so the file is in the page
# cache. Each pair then runs both commands, the first of the pair taking
# turns (inspect first in even pairs, md5sum first in odd ones), so that
# neither always follows the other. Printed: the median wall, user and system
# time of each command, the ratio of the wall medians and the median, lowest
# and highest of the per-pair wall ratios. The kernel may count user and
# system time in whole clock ticks, so their means are printed as well.
set -euo pipefail

apdtool=${1:?usage: $0 APDTOOL [FILE] [PAIRS]}
file=${2:-}
pairs=${3:-21}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [[ -z "$file" ]]; then
  file="$tmp/full.apd"
  "$apdtool" pack --output "$file" --flash-random 16000000 --param-random 32000 --seed 16 \
    >/dev/null
fi

"$apdtool" inspect "$file" >/dev/null  # must load, and warms the cache
md5sum "$file" >/dev/null

# One run of the command: "wall user sys" in milliseconds, output discarded.
# Wall time from the shell's clock in microseconds; user and system time from
# the shell's `time` (getrusage of the child), in whole milliseconds.
measure() {
  local TIMEFORMAT='%3U %3S' start end
  start=$EPOCHREALTIME
  { time "$@" >/dev/null 2>&1; } 2>"$tmp/cpu"
  end=$EPOCHREALTIME
  awk -v us=$((${end/./} - ${start/./})) \
    '{ printf "%.3f %.3f %.3f\n", us / 1000, $1 * 1000, $2 * 1000 }' "$tmp/cpu"
}

inspect_runs=()
md5_runs=()
for ((i = 0; i < pairs; i++)); do
  if ((i % 2 == 0)); then
    inspect_runs+=("$(measure "$apdtool" inspect "$file")")
    md5_runs+=("$(measure md5sum "$file")")
  else
    md5_runs+=("$(measure md5sum "$file")")
    inspect_runs+=("$(measure "$apdtool" inspect "$file")")
  fi
done

size=$(stat -c %s "$file")
paste -d' ' <(printf '%s\n' "${inspect_runs[@]}") <(printf '%s\n' "${md5_runs[@]}") |
  awk -v s="$size" -v n="$pairs" '
    function median(a, k,   i, j, t, b) {
      for (i = 1; i <= k; i++) b[i] = a[i]
      for (i = 2; i <= k; i++) {
        t = b[i]
        for (j = i - 1; j >= 1 && b[j] > t; j--) b[j + 1] = b[j]
        b[j + 1] = t
      }
      return k % 2 ? b[(k + 1) / 2] : (b[k / 2] + b[k / 2 + 1]) / 2
    }
    {
      iw[NR] = $1; iu[NR] = $2; is[NR] = $3
      mw[NR] = $4; mu[NR] = $5; ms[NR] = $6
      r[NR] = $4 > 0 ? $1 / $4 : 0
      su[1] += $2; ss[1] += $3; su[2] += $5; ss[2] += $6
      lo = NR == 1 || r[NR] < lo ? r[NR] : lo
      hi = NR == 1 || r[NR] > hi ? r[NR] : hi
    }
    END {
      printf "file size                %d bytes\n", s
      printf "pairs                    %d, alternating which runs first\n", n
      printf "%-24s %9s %9s %9s\n", "median (ms)", "wall", "user", "sys"
      printf "%-24s %9.1f %9.1f %9.1f\n", "apdtool inspect", median(iw, NR), median(iu, NR), median(is, NR)
      printf "%-24s %9s %9.1f %9.1f\n", "  mean user, sys", "", su[1] / NR, ss[1] / NR
      printf "%-24s %9.1f %9.1f %9.1f\n", "md5sum", median(mw, NR), median(mu, NR), median(ms, NR)
      printf "%-24s %9s %9.1f %9.1f\n", "  mean user, sys", "", su[2] / NR, ss[2] / NR
      printf "ratio of wall medians    %.2f\n", median(iw, NR) / median(mw, NR)
      printf "per-pair wall ratio      median %.2f, lowest %.2f, highest %.2f\n", median(r, NR), lo, hi
    }'
