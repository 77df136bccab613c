#!/usr/bin/env bash
# Index engine against line- and database-oriented peers on one generated tree (bench/TreeGen.h,
# 1M entries by default), warm cache:
#   - scan: bench_fidx_scan at 1/2/4/8 threads, then hyperfine on `find ROOT -printf '%y %s %T@\n'`
#     (one lstat per entry) and `fdfind -HI . ROOT` (parallel, names only);
#   - name search: bench_fidx_find (rare and common needle, glob *.mp3, 1 and 8 threads), then
#     hyperfine on `grep -c -F` over the same names one per line, and `plocate -c` (also -i and
#     the glob) on a database built with `updatedb -U ROOT -o DB -l 0`.
#
#   bench/engine_vs_peers.sh [build-dir]     build-dir defaults to build-release
#
#   QUORVANTA_BENCH_TREE=/dev/shm/qv-tree   where the tree lives (tmpfs)
#   QUORVANTA_BENCH_ENTRIES=1000000         entries in the tree
#
# Peers that are not installed (hyperfine, fdfind, plocate/updatedb) are named and skipped.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

require_built bench/bench_fidx_scan bench/bench_fidx_find
export QUORVANTA_BENCH_TREE=${QUORVANTA_BENCH_TREE:-/dev/shm/qv-tree}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUORVANTA_BENCH_NAMES="$work/names.txt"

have_hyperfine=0; have hyperfine && have_hyperfine=1
have_fd=0; have fdfind && have_fd=1
have_plocate=0; have plocate && have updatedb && have_plocate=1
report_missing

machine_line
echo "tree: $QUORVANTA_BENCH_TREE ($(stat -f -c %T "$(dirname "$QUORVANTA_BENCH_TREE")"))"

# The find benchmark generates the tree when it is missing and writes the names file.
"$build/bench/bench_fidx_find" --benchmark_counters_tabular=true 2>&1 | grep -v WARNING
"$build/bench/bench_fidx_scan" --benchmark_counters_tabular=true 2>&1 | grep -v WARNING
root=$QUORVANTA_BENCH_TREE

peers() {  # peers NAME COMMAND ... ; pairs of a label and a shell command
  [[ $have_hyperfine == 1 ]] || return 0
  local args=()
  while [[ $# -gt 0 ]]; do args+=(-n "$1" "$2"); shift 2; done
  hyperfine --warmup 1 --runs 5 --style basic --ignore-failure "${args[@]}"
}

q_root=$(printf %q "$root")
q_names=$(printf %q "$QUORVANTA_BENCH_NAMES")
scan_peers=("find -printf" "find $q_root -printf '%y %s %T@\\n' >/dev/null")
[[ $have_fd == 1 ]] && scan_peers+=("fdfind -HI" "fdfind -HI . $q_root >/dev/null")
peers "${scan_peers[@]}"

# The engine's needles match folded names, so the common needle ("File ...") needs -i in the peers.
peers "grep -c -F rare" "grep -c -F 9999_49 $q_names" \
      "grep -c -i -F rare" "grep -c -i -F 9999_49 $q_names" \
      "grep -c -i -F common" "grep -c -i -F file $q_names"

if [[ $have_plocate == 1 ]]; then
  db="$work/plocate.db"
  updatedb -U "$root" -o "$db" -l 0
  q_db=$(printf %q "$db")
  peers "plocate -c rare" "plocate -d $q_db -c 9999_49" \
        "plocate -c -i rare" "plocate -d $q_db -c -i 9999_49" \
        "plocate -c -i common" "plocate -d $q_db -c -i file" \
        "plocate -c *.mp3" "plocate -d $q_db -c '*.mp3'"
fi
