#!/usr/bin/env bash
# plocate's updatedb over the tree of bench_refresh_reconcile, for comparison with reconcile:
# like reconcile, a second updatedb run re-reads only the folders whose modification time changed.
# Prints the best wall time of $QUORVANTA_BENCH_RUNS runs for a second run over the unchanged tree
# and after 1% of the folders were touched (warm cache).
#
#   bench/reconcile_vs_updatedb.sh [build-dir]      build-dir defaults to build-release
#
#   QUORVANTA_BENCH_ENTRIES=1000000   entries in the tree
#   QUORVANTA_BENCH_TREE=$TMPDIR/quorvanta-bench-tree-<entries>
#                                     the tree, made by $build/bench/bench_refresh_reconcile with
#                                     the same settings
#   QUORVANTA_BENCH_RUNS=5            timed runs per figure
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

entries=${QUORVANTA_BENCH_ENTRIES:-1000000}
tree=${QUORVANTA_BENCH_TREE:-${TMPDIR:-/tmp}/quorvanta-bench-tree-$entries}
runs=${QUORVANTA_BENCH_RUNS:-5}
updatedb=$(command -v updatedb.plocate || command -v /usr/sbin/updatedb.plocate || true)
if [[ -z "$updatedb" ]]; then echo "$bench_script: plocate is not installed" >&2; exit 1; fi
if [[ ! -f "$tree/.complete" ]]; then
  echo "$bench_script: no tree at $tree (run $build/bench/bench_refresh_reconcile)" >&2
  exit 1
fi
machine_line

db=$(mktemp -d)/bench.db
trap 'rm -rf "$(dirname "$db")"' EXIT
run() { "$updatedb" -U "$tree" -o "$db" -l no --prunepaths "" --prunefs "" --prunenames ""; }
best() {  # best FUNCTION: the best wall time of $runs runs, ms
  local best_ms=""
  for _ in $(seq "$runs"); do
    local start end ms
    start=$(date +%s%N); "$@"; end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    [[ -z "$best_ms" || $ms -lt $best_ms ]] && best_ms=$ms
  done
  echo "$best_ms"
}
mapfile -t folders < <(find "$tree" -type d | awk 'NR % 100 == 0')
touch_one_percent() { touch -d "@$((RANDOM + 1600000000))" "${folders[@]}"; }
touched_run() { touch_one_percent; run; }

run  # the first run reads everything
echo "folders touched per run: ${#folders[@]}"
echo "updatedb second run, unchanged: $(best run) ms"
echo "updatedb after 1% of folders touched (touch included): $(best touched_run) ms"
echo "touch of those folders alone: $(best touch_one_percent) ms"
