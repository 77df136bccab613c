#!/usr/bin/env bash
# The tool's search engine against plocate on one gen-tree tree (1,000,000 files by default):
#   - quorvanta-cli bench-search on the tree (memory, keystroke replay, cancel and sort figures);
#   - building the index: quorvanta-cli scan against `updatedb -U T -l 0 -o DB`, time and bytes
#     per entry;
#   - the queries both express alike ("remix", "track_1", "*.mp3"), names only: the tool's
#     per-query keystroke figures against hyperfine runs of `plocate -b -c -d DB`.
# The tool's figures are in-process, without process start or loading; plocate's include both.
#
#   bench/search_vs_plocate.sh [build-dir]      build-dir defaults to build-release
#
#   QUORVANTA_BENCH_FILES=1000000   files in the tree
#   QUORVANTA_BENCH_DIR=/dev/shm    where the tree is made (when not writable: $TMPDIR or /tmp)
#   QUORVANTA_BENCH_RUNS=30         bench-search --runs
#
# Peers that are not installed (hyperfine, plocate/updatedb) are named and skipped.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

require_built quorvanta-cli
cli=$build/quorvanta-cli
files=${QUORVANTA_BENCH_FILES:-1000000}
runs=${QUORVANTA_BENCH_RUNS:-30}
base=${QUORVANTA_BENCH_DIR:-/dev/shm}
[[ -d "$base" && -w "$base" ]] || base=${TMPDIR:-/tmp}

# gen-tree writes only below ~/QuorvantaTestTree*, so the run gets a home of its own.
work=$(mktemp -d "$base/qv-search-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME=$work
tree=$work/QuorvantaTestTreeBench
db=$work/plocate.db

have_hyperfine=0; have hyperfine && have_hyperfine=1
have_plocate=0; have plocate && have updatedb && have_plocate=1
report_missing

machine_line
"$cli" gen-tree "$tree" --files "$files"
echo "tree: $tree ($(stat -f -c %T "$work")), $(find "$tree" | wc -l) entries"

echo "== quorvanta-cli bench-search --runs $runs"
"$cli" bench-search "$tree" --runs "$runs"

echo "== building the index"
"$cli" scan "$tree"
if [[ $have_plocate == 1 ]]; then
  start=$(date +%s.%N)
  updatedb -U "$tree" -l 0 -o "$db"
  end=$(date +%s.%N)
  entries=$(find "$tree" | wc -l)
  bytes=$(stat -c %s "$db")
  awk -v s="$start" -v e="$end" -v b="$bytes" -v n="$entries" \
    'BEGIN { printf "updatedb: %.3f s, %d bytes = %.2f B/entry\n", e - s, b, b / n }'

  echo "== names only: plocate -b -c (hit counts, then times with process start)"
  for q in remix track_1 '*.mp3'; do
    printf '%s\t%s hits\n' "$q" "$(plocate -b -c -d "$db" "$q")"
  done
  if [[ $have_hyperfine == 1 ]]; then
    q_db=$(printf %q "$db")
    hyperfine --warmup 2 --runs 10 --style basic \
      -n "plocate remix" "plocate -b -c -d $q_db remix" \
      -n "plocate track_1" "plocate -b -c -d $q_db track_1" \
      -n "plocate *.mp3" "plocate -b -c -d $q_db '*.mp3'"
  fi
fi
