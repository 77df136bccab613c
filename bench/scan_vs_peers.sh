#!/usr/bin/env bash
# Scan benchmark: quorvanta-cli scan (bulk with 1 and 8 threads, fts, fm) against find and fd on
# one generated tree of empty files, warm cache. Prints, per command, the best wall time of RUNS
# runs, the entries per second that gives and the peak resident size.
#
#   bench/scan_vs_peers.sh [build-dir]      build-dir defaults to build-release
#
#   FILES=1000000   files in the tree (gen-tree; its own time is reported too)
#   RUNS=5          timed runs per command, after one untimed warm-up run
#   REUSE=1         keep an existing tree instead of generating it again
#   KEEP=1          leave the tree in place afterwards
#
# The tree is ~/QuorvantaTestTreeBench (gen-tree only writes below the home folder). Peers that
# are not installed are named and skipped: find (findutils), fdfind (fd-find), hyperfine, and
# /usr/bin/time (time) for the peak resident size.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-release}
cli="$build/quorvanta-cli"
files=${FILES:-1000000}
runs=${RUNS:-5}
tree="$HOME/QuorvantaTestTreeBench"

if [[ ! -x "$cli" ]]; then
  echo "scan_vs_peers: $cli is not built (cmake --preset release && cmake --build --preset release)" >&2
  exit 1
fi

missing=()
have() { command -v "$1" >/dev/null 2>&1 || { missing+=("$1"); return 1; }; }
have_find=0; have find && have_find=1
have_fd=0; have fdfind && have_fd=1
have_hyperfine=0; have hyperfine && have_hyperfine=1
[[ -x /usr/bin/time ]] || missing+=("/usr/bin/time")
[[ ${#missing[@]} -gt 0 ]] && echo "scan_vs_peers: not installed, skipped: ${missing[*]}" >&2

source bench/peer_timing.sh

echo "machine: $(nproc) CPUs, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo)," \
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "file system of the tree: $(findmnt -no FSTYPE -T "$HOME" 2>/dev/null || stat -f -c %T "$HOME")," \
     "load average $(cut -d' ' -f1-3 /proc/loadavg)"

if [[ "${REUSE:-0}" == 1 && -d "$tree" ]]; then
  echo "reusing $tree"
else
  rm -rf "$tree"
  start=$(seconds)
  "$cli" gen-tree "$tree" --files "$files"
  echo "gen-tree wall: $(calc %.2f "$(seconds) - $start") s"
fi
[[ "${KEEP:-0}" == 1 ]] || trap 'rm -rf "$tree"' EXIT

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
