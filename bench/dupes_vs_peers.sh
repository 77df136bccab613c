#!/usr/bin/env bash
# Duplicate-finder benchmark: the finder's hash stages (bench_duplicate_finder --root) against
# jdupes and rmlint on one generated set of audio-named files, warm cache. Prints, per tool, the
# best wall time of $QUORVANTA_BENCH_RUNS runs, the peak resident size, and the duplicate sets and
# files it reports, then checks that our sets equal jdupes'. With hyperfine installed it also runs
# the three under hyperfine.
#
#   bench/dupes_vs_peers.sh [build-dir]      build-dir defaults to build-release
#
#   QUORVANTA_BENCH_ORIGINALS=28000  distinct files, sizes log-uniform from 1 to 256 KiB
#   QUORVANTA_BENCH_COPIES=5000      originals copied once each (the duplicate sets to find)
#   QUORVANTA_BENCH_TRAPS=2000       near misses: copies of originals above 128 KiB with one middle
#                                    byte flipped, so size, first and last 64 KiB all match
#   QUORVANTA_BENCH_RUNS=5           timed runs per tool, after one untimed warm-up run
#   QUORVANTA_BENCH_REUSE=1          keep an existing set instead of generating it again
#   QUORVANTA_BENCH_KEEP=1           leave the set in place afterwards
#
# The set is $TMPDIR/quorvanta-dupes-peers (default /tmp). Peers that are not installed are
# named with their Debian package and skipped: jdupes (jdupes), rmlint (rmlint), hyperfine
# (hyperfine), /usr/bin/time (time). They are benchmark peers, not dependencies.
set -euo pipefail
source "$(dirname "$0")/preamble.sh"

require_built bench/bench_duplicate_finder
finder="$build/bench/bench_duplicate_finder"
runs=${QUORVANTA_BENCH_RUNS:-5}
set_dir="${TMPDIR:-/tmp}/quorvanta-dupes-peers"
work=$(mktemp -d)

have_jdupes=0; have jdupes jdupes && have_jdupes=1
have_rmlint=0; have rmlint rmlint && have_rmlint=1
have_hyperfine=0; have hyperfine hyperfine && have_hyperfine=1
[[ -x /usr/bin/time ]] || missing+=("/usr/bin/time (time)")
report_missing

cleanup() {
  rm -rf "$work"
  [[ "${QUORVANTA_BENCH_KEEP:-0}" == 1 ]] || rm -rf "$set_dir"
}
trap cleanup EXIT

machine_line

if [[ "${QUORVANTA_BENCH_REUSE:-0}" == 1 && -f "$set_dir/.complete" ]]; then
  echo "reusing $set_dir"
else
  rm -rf "$set_dir"
  python3 - "$set_dir" "${QUORVANTA_BENCH_ORIGINALS:-28000}" "${QUORVANTA_BENCH_COPIES:-5000}" \
    "${QUORVANTA_BENCH_TRAPS:-2000}" <<'PY'
import os, random, sys
root, originals, copies, traps = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(2026)
exts = ["mp3", "flac", "wav", "m4a", "ogg", "aiff", "opus"]
count = 0
def write(data):
    global count
    folder = os.path.join(root, "d%03d" % (count % 100))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%06d.%s" % (count, exts[count % len(exts)])), "wb") as f:
        f.write(data)
    count += 1
sizes = [int(2 ** rng.uniform(10, 18)) for _ in range(originals)]
large = [i for i, s in enumerate(sizes) if s > 131072]
trapped = set(rng.sample(large, min(traps, len(large))))
copied = set(rng.sample([i for i in range(originals) if i not in trapped], copies))
for i, size in enumerate(sizes):
    data = rng.randbytes(size)
    write(data)
    if i in copied:
        write(data)
    if i in trapped:
        flipped = bytearray(data)
        flipped[size // 2] ^= 1
        write(bytes(flipped))
open(os.path.join(root, ".complete"), "w").close()
print("generated %d files: %d originals, %d copies, %d near misses" % (count, originals, len(copied), len(trapped)))
PY
fi
echo "set: $(find "$set_dir" -type f ! -name .complete | wc -l) files, $(du -sh "$set_dir" | cut -f1)"
cat "$set_dir"/*/* >/dev/null   # warm the cache
echo

echo "our finder, one run (stage times; the scan is reported apart):"
"$finder" --root "$set_dir" --list "$work/ours.sets"
echo

# Each tool's duplicate sets as sorted lines of sorted, tab-joined paths.
sets_from_blank_separated() {  # jdupes: one path a line, sets separated by empty lines
  python3 -c '
import sys
sets, cur = [], []
for line in sys.stdin.read().split("\n"):
    if line: cur.append(line)
    elif cur: sets.append("\t".join(sorted(cur))); cur = []
if cur: sets.append("\t".join(sorted(cur)))
print("\n".join(sorted(sets)), end="\n" if sets else "")'
}
sets_from_rmlint_json() {
  python3 -c '
import json, sys, collections
groups = collections.defaultdict(list)
for item in json.load(sys.stdin):
    if item.get("type") == "duplicate_file": groups[item["checksum"]].append(item["path"])
sets = sorted("\t".join(sorted(g)) for g in groups.values() if len(g) > 1)
print("\n".join(sets), end="\n" if sets else "")'
}
count_sets() { awk -F'\t' '{ files += NF } END { printf "%d sets, %d files", NR, files }' "$1"; }

q_set=$(printf %q "$set_dir")
names=("finder" "$(printf %q "$finder") --root $q_set")
if [[ $have_jdupes == 1 ]]; then
  jdupes -r -q "$set_dir" | sets_from_blank_separated >"$work/jdupes.sets"
  names+=("jdupes -r -q" "jdupes -r -q $q_set")
fi
if [[ $have_rmlint == 1 ]]; then
  rmlint -T df -o json:"$work/rmlint.json" "$set_dir" >/dev/null 2>&1 || true
  sets_from_rmlint_json <"$work/rmlint.json" >"$work/rmlint.sets"
  names+=("rmlint -T df" "rmlint -T df -o json:/dev/null $q_set")
fi

source bench/peer_timing.sh
printf '%-14s %10s %12s   %s\n' tool "best s" "peak RSS MB" "reported"
for ((i = 0; i < ${#names[@]}; i += 2)); do
  name=${names[i]}
  if ! best_of "$runs" "${names[i + 1]}"; then
    printf '%-14s failed: %s\n' "$name" "${names[i + 1]}"
    continue
  fi
  case "$name" in
    finder) sets="$work/ours.sets" ;;
    jdupes*) sets="$work/jdupes.sets" ;;
    *) sets="$work/rmlint.sets" ;;
  esac
  printf '%-14s %10.3f %12s   %s\n' "$name" "$BEST" "$PEAK_MB" "$(count_sets "$sets")"
done

if [[ $have_jdupes == 1 ]]; then
  if cmp -s "$work/ours.sets" "$work/jdupes.sets"; then
    echo "sets: ours equal jdupes'"
  else
    echo "sets: ours DIFFER from jdupes' (first differences below)"
    diff "$work/ours.sets" "$work/jdupes.sets" | head -20
    status=1
  fi
fi

if [[ $have_hyperfine == 1 ]]; then
  echo
  hyperfine_args=(--warmup 1 --runs "$runs" --output null)
  for ((i = 0; i < ${#names[@]}; i += 2)); do hyperfine_args+=(-n "${names[i]}" "${names[i + 1]}"); done
  hyperfine "${hyperfine_args[@]}"
fi
exit ${status:-0}
