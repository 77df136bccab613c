#!/usr/bin/env bash
# Scan benchmark: quorvanta-cli scan (bulk with 1 and 8 threads, fts, fm) against find and fd on
# one generated tree of empty files, warm cache. Prints, per command, the best wall time of
# $QUORVANTA_BENCH_RUNS runs, the entries per second that gives and the peak resident size.
#
#   bench/scan_vs_peers.sh [build-dir]      build-dir defaults to build-release
#
#   QUORVANTA_BENCH_FILES=1000000   files in the tree (gen-tree; its own time is reported too)
#   QUORVANTA_BENCH_RUNS=5          timed runs per command, after one untimed warm-up run
#   QUORVANTA_BENCH_REUSE=1         keep an existing tree instead of generating it again
#   QUORVANTA_BENCH_KEEP=1          leave the tree in place afterwards
#
# The tree is ~/QuorvantaTestTreeBench (gen-tree only writes below the home folder). Peers that
# are not installed are named and skipped: find (findutils), fdfind (fd-find), hyperfine, and
# /usr/bin/time (time) for the peak resident size.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

require_built quorvanta-cli
cli="$build/quorvanta-cli"
files=${QUORVANTA_BENCH_FILES:-1000000}
runs=${QUORVANTA_BENCH_RUNS:-5}
tree="$HOME/QuorvantaTestTreeBench"

have_find=0; have find && have_find=1
have_fd=0; have fdfind && have_fd=1
have_hyperfine=0; have hyperfine && have_hyperfine=1
[[ -x /usr/bin/time ]] || missing+=("/usr/bin/time")
report_missing

source bench/peer_timing.sh

machine_line
echo "file system of the tree: $(findmnt -no FSTYPE -T "$HOME" 2>/dev/null || stat -f -c %T "$HOME")"

if [[ "${QUORVANTA_BENCH_REUSE:-0}" == 1 && -d "$tree" ]]; then
  echo "reusing $tree"
else
  rm -rf "$tree"
  start=$(seconds)
  "$cli" gen-tree "$tree" --files "$files"
  echo "gen-tree wall: $(calc %.2f "$(seconds) - $start") s"
fi
[[ "${QUORVANTA_BENCH_KEEP:-0}" == 1 ]] || trap 'rm -rf "$tree"' EXIT

entries=$(find "$tree" -mindepth 1 -printf x | wc -c)
echo "entries below the root: $entries"
echo

# name, then the command as shell text; its output goes to /dev/null.
q_cli=$(printf %q "$cli")
q_tree=$(printf %q "$tree")
commands=(
  "scan bulk/1" "$q_cli scan $q_tree --threads 1"
  "scan bulk/8" "$q_cli scan $q_tree --threads 8"
  "scan fts" "$q_cli scan $q_tree --mode fts"
  "scan fm" "$q_cli scan $q_tree --mode fm"
)
if [[ $have_find == 1 ]]; then
  commands+=("find" "find $q_tree" "find -printf %s" "find $q_tree -printf '%s\\n'")
fi
if [[ $have_fd == 1 ]]; then
  commands+=("fdfind -HI" "fdfind -HI . $q_tree" "fdfind -HI -j1" "fdfind -HI -j1 . $q_tree")
fi

printf '%-18s %10s %14s %12s\n' command "best s" "entries/s" "peak RSS MB"
for ((i = 0; i < ${#commands[@]}; i += 2)); do
  name=${commands[i]}
  cmd=${commands[i + 1]}
  if ! best_of "$runs" "$cmd"; then
    printf '%-18s failed: %s\n' "$name" "$cmd"
    continue
  fi
  printf '%-18s %10.3f %14s %12s\n' "$name" "$BEST" "$(calc %.0f "$entries / $BEST")" "$PEAK_MB"
done

if [[ $have_hyperfine == 1 ]]; then
  echo
  hyperfine_args=(--warmup 1 --runs "$runs" --output null)
  for ((i = 0; i < ${#commands[@]}; i += 2)); do
    hyperfine_args+=(-n "${commands[i]}" "${commands[i + 1]}")
  done
  hyperfine "${hyperfine_args[@]}"
fi
