#!/usr/bin/env bash
# Name search peers on the searcher benchmark's names: the same synthetic names that
# bench_searcher indexes, written one per line, searched with grep -c -F (and -i), and with
# plocate over a database built from them by plocate-build -p (plocate -c, -i and --regex).
# Prints the best wall time of $QUORVANTA_BENCH_RUNS runs per command, in ms, and its count.
#
#   bench/searcher_vs_peers.sh [build-dir]      build-dir defaults to build-release
#
#   QUORVANTA_BENCH_ENTRIES=1000000   1000000 or 10000000, as in bench_searcher
#   QUORVANTA_BENCH_RUNS=5            timed runs per command, after one untimed warm-up run
#
# Peers that are not installed are named and skipped: grep, plocate and plocate-build (plocate).
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

require_built bench/bench_searcher
bench="$build/bench/bench_searcher"
entries=${QUORVANTA_BENCH_ENTRIES:-1000000}
runs=${QUORVANTA_BENCH_RUNS:-5}

have_grep=0; have grep && have_grep=1
have_plocate=0; have plocate && have plocate-build && have_plocate=1
report_missing

machine_line

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names="$work/names.txt"
QUORVANTA_BENCH_NAMES="$names" QUORVANTA_BENCH_ENTRIES="$entries" "$bench"
echo "names: $(wc -l < "$names") lines, $(du -m "$names" | cut -f1) MB"
if [[ $have_plocate == 1 ]]; then
  start=$(date +%s.%N)
  plocate-build -p "$names" "$work/names.db"
  echo "plocate-build -p: $(awk "BEGIN { printf \"%.2f\", $(date +%s.%N) - $start }") s"
fi

# label, then the command as shell text.
commands=()
for needle in 12345 report; do
  if [[ $have_grep == 1 ]]; then
    commands+=("grep -c -F $needle" "grep -c -F $needle $names")
    commands+=("grep -c -i -F $needle" "grep -c -i -F $needle $names")
  fi
  if [[ $have_plocate == 1 ]]; then
    commands+=("plocate -c $needle" "plocate -d $work/names.db -c $needle")
    commands+=("plocate -c -i $needle" "plocate -d $work/names.db -c -i $needle")
  fi
done
if [[ $have_plocate == 1 ]]; then
  commands+=("plocate -c --regex" "plocate -d $work/names.db -c -i --regex '^img_[0-9]*4\\.jpg\$'")
  commands+=("plocate -c *.mp3" "plocate -d $work/names.db -c '*.mp3'")
fi

printf '%-28s %10s %10s\n' command "best ms" count
for ((i = 0; i < ${#commands[@]}; i += 2)); do
  label=${commands[i]}
  cmd=${commands[i + 1]}
  count=$(bash -c "$cmd" || true)
  best=""
  for ((r = 0; r < runs; r++)); do
    start=$(date +%s%N)
    bash -c "$cmd" >/dev/null || true
    t=$(( ($(date +%s%N) - start) / 1000 ))
    [[ -z "$best" || $t -lt $best ]] && best=$t
  done
  printf '%-28s %10s %10s\n' "$label" "$(awk "BEGIN { printf \"%.1f\", $best / 1000 }")" "$count"
done
