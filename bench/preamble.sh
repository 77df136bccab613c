# The start every benchmark script shares; sourced, not run, right after `set -euo pipefail`:
#
#   source "$(dirname "$0")/preamble.sh"
#
# It moves to the repository root and gives:
#   $build                     the build folder: the script's first argument, else build-release
#   require_built PROGRAM...   stops the script unless every program (a path below $build) is built
#   have COMMAND [PACKAGE]     true when a peer is installed; one that is not is noted as missing,
#                              with the Debian package that holds it when given
#   report_missing             names the peers noted missing, on standard error
#   machine_line               "machine: <CPUs>, <memory>, <CPU model>, load average <1 5 15 min>"
#
# Every setting of a benchmark script comes from the environment as QUORVANTA_BENCH_<NAME>, the
# names the benchmark programs read too (QUORVANTA_BENCH_TREE, QUORVANTA_BENCH_ENTRIES, ...);
# each script lists its own with their defaults.

cd "$(dirname "$0")/.."
bench_script=$(basename "$0" .sh)
build=${1:-build-release}

require_built() {
  local program
  for program in "$@"; do
    if [[ ! -x "$build/$program" ]]; then
      echo "$bench_script: $build/$program is not built (cmake --preset release && cmake --build --preset release)" >&2
      exit 1
    fi
  done
}

missing=()
have() {
  command -v "$1" >/dev/null 2>&1 && return 0
  missing+=("$1${2:+ ($2)}")
  return 1
}
report_missing() {
  [[ ${#missing[@]} -eq 0 ]] || echo "$bench_script: not installed, skipped: ${missing[*]}" >&2
}

machine_line() {
  echo "machine: $(nproc) CPUs, $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo)," \
       "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')," \
       "load average $(cut -d' ' -f1-3 /proc/loadavg)"
}
