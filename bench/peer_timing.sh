# Timing helpers of the peer benchmarks (scan_vs_peers.sh, dupes_vs_peers.sh); sourced, not run.

seconds() { date +%s.%N; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }   # calc FORMAT EXPRESSION

# best_of RUNS COMMAND: runs the shell text COMMAND once untimed (warm-up), then RUNS times with
# its output discarded. Sets BEST to the best wall time in seconds and PEAK_MB to the largest
# peak resident size in MB ("-" without /usr/bin/time). Returns 1 when the warm-up run fails.
best_of() {
  local runs=$1 cmd=$2 r start wall rss peak=0 out
  BEST=""
  PEAK_MB=-
  sh -c "exec $cmd" >/dev/null 2>&1 || return 1
  out=$(mktemp)
  for ((r = 0; r < runs; r++)); do
    start=$(seconds)
    if [[ -x /usr/bin/time ]]; then
      /usr/bin/time -f %M -o "$out" sh -c "exec $cmd" >/dev/null 2>&1 || true
      rss=$(tail -1 "$out")
      (( rss > peak )) && peak=$rss
    else
      sh -c "exec $cmd" >/dev/null 2>&1 || true
    fi
    wall=$(calc %.6f "$(seconds) - $start")
    if [[ -z "$BEST" ]] || [[ $(calc %d "$wall < $BEST") == 1 ]]; then BEST=$wall; fi
  done
  rm -f "$out"
  [[ -x /usr/bin/time ]] && PEAK_MB=$(calc %.1f "$peak / 1024")
  return 0
}
