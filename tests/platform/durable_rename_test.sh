#!/usr/bin/env bash
# A committed file is on the disk before its name is: strace shows fsync of the temporary file
# before the rename over the target, and fsync of the folder after it.
# Usage: durable_rename_test.sh XML_TEST_PROGRAM
set -euo pipefail
program=${1:?usage: durable_rename_test.sh XML_TEST_PROGRAM}
if ! command -v strace >/dev/null || ! strace -o /dev/null true 2>/dev/null; then
  echo "SKIP: strace cannot trace here"
  exit 77
fi
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
# LeakSanitizer cannot work under ptrace: the sanitizer build checks leaks everywhere else.
ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0 strace -f -qq -e trace=openat,fsync,rename -o "$trace" \
  "$program" --gtest_filter=AtomicFileStream.FileAppearsOnlyWhenCommitted >/dev/null
# States: 0 before the temporary file, 1 it is open (fd), 2 synced, 3 renamed, 4 folder open, 5 synced.
awk '
  state == 0 && /openat\(.*KORVALIX\.XML\.kxtmp".*O_CREAT/ { fd = $NF; state = 1; next }
  state == 1 && $0 ~ "fsync\\(" fd "\\) +=  *0" { state = 2; next }
  state == 2 && /rename\(.*KORVALIX\.XML\.kxtmp", ".*KORVALIX\.XML"\) = 0/ { state = 3; next }
  state == 3 && /openat\(.*O_DIRECTORY/ { dir = $NF; state = 4; next }
  state == 4 && $0 ~ "fsync\\(" dir "\\) +=  *0" { state = 5; next }
  END {
    split("the temporary file opened|its fsync|the rename|the folder opened|the fsync of the folder", step, "|")
    if (state < 5) { printf "FAIL: no %s in the trace\n", step[state + 1]; exit 1 }
    print "PASS"
  }' "$trace" || { grep -E 'KORVALIX|fsync|O_DIRECTORY' "$trace" | sed 's/^/  /' >&2; exit 1; }
