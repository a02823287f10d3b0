#!/usr/bin/env bash
# Runs the three benchmarks one after the other and prints their ratios at the end.
# Usage: bench/run-all.sh BUILD_DIR [--large] [--repeat N]
set -euo pipefail
build=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for bench in load document run; do
  "$build/bin/kx_bench_$bench" "$@" | tee -a "$log"
  echo
done
echo "Ratios (subject against its floor, measured in the same run):"
grep '^RESULT' "$log"
