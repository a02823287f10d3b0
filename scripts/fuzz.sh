#!/usr/bin/env bash
# The libFuzzer targets of fuzz/: configures and builds them in BUILD_DIR (clang, KX_FUZZ=ON, only
# the target fuzz_targets), then runs each one and prints its number of runs.
#   --seconds N     N seconds each; new inputs go into a scratch copy of the seed corpus
#   --corpus-only   each target once over its seed corpus (the default)
# The exit status is non-zero when a target crashes or fails a check; its input is kept in
# BUILD_DIR/fuzz-artifacts.
set -euo pipefail

usage() {
  echo "usage: $0 BUILD_DIR [--seconds N | --corpus-only]" >&2
  exit 2
}

[[ $# -ge 1 ]] || usage
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "$1" && cd "$1" && pwd)
shift
seconds=0
case "${1:-}" in
  --seconds)
    [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || usage
    seconds=$2
    ;;
  --corpus-only | "") ;;
  *) usage ;;
esac

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKX_FUZZ=ON -DKX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "${FUZZ_JOBS:-1}"

# Option texts, request parameters and encoded texts are short: their targets keep to 1 KiB, so
# that the runs go into their forms rather than into long inputs (4 KiB, libFuzzer's default).
max_len() {
  case $1 in
    RunOptions | Request | NetCodec) echo 1024 ;;
    *) echo 4096 ;;
  esac
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=0
for seeds in "$root"/fuzz/corpus/*/; do
  name=$(basename "$seeds")
  log="$scratch/$name.log"
  options=(-artifact_prefix="$artifacts/$name-" -timeout=25 -max_len="$(max_len "$name")")
  if [[ $seconds -gt 0 ]]; then
    # The first directory takes the new inputs; the tree's seeds stay as they are.
    mkdir "$scratch/$name"
    options+=(-max_total_time="$seconds" "$scratch/$name" "$seeds")
  else
    options+=(-runs=0 "$seeds")
  fi
  status=0
  (cd "$scratch" && "$build/bin/${name}_fuzz" "${options[@]}") >"$log" 2>&1 || status=$?
  runs=$(grep -o '^Done [0-9]* runs in [0-9]* second(s)' "$log" | tail -1 || true)
  if [[ $status -eq 0 ]]; then
    if [[ $seconds -gt 0 && $runs =~ ^Done\ ([0-9]+)\ runs\ in\ ([0-9]+) ]]; then
      runs+=", $((BASH_REMATCH[1] / (BASH_REMATCH[2] > 0 ? BASH_REMATCH[2] : 1))) exec/s"
    fi
    printf '%-16s %s\n' "$name" "${runs:-no Done line}"
  else
    failed=1
    printf '%-16s FAILED (exit status %d)\n' "$name" "$status"
    grep -E 'ERROR|SUMMARY|expected|Test unit written' "$log" | head -5 | sed 's/^/    /' || true
  fi
done
exit "$failed"
