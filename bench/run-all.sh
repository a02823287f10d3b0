#!/usr/bin/env bash
# Runs the four benchmarks one after the other, and the DLL's download under Wine where the 64-bit
# DLL is built, and prints their ratios at the end.
# Usage: bench/run-all.sh BUILD_DIR [--large] [--repeat N]
# As root on a machine with the Firebird server installed, each benchmark also measures the path
# through the server (--server); the server is started for it and stopped again if it was not
# running before (scripts/firebird-server.sh).
set -euo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
log=$(mktemp)
export KX_FIREBIRD_STATE=$log.firebird
server=()
if [ "$(id -u)" = 0 ] && [ -x /usr/sbin/fbguard ]; then
  bash "$here/../scripts/firebird-server.sh" start
  server=(--server)
fi
trap 'if [ ${#server[@]} -gt 0 ]; then bash "$here/../scripts/firebird-server.sh" stop; fi; rm -f "$log" "$log.firebird"' EXIT
for bench in download load document run; do
  "$build/bin/kx_bench_$bench" "$@" "${server[@]}" | tee -a "$log"
  echo
done
# The DLL's WinInet download under Wine, where the 64-bit DLL is built (make win64).
if [ -e "$build/../win64/bin/kxdownload_win.exe" ] && [ -x /usr/lib/wine/wine64 ]; then
  large=
  for arg in "$@"; do [ "$arg" != --large ] || large=--large; done
  bash "$here/wine-download.sh" "$build/.." $large | tee -a "$log"
  echo
else
  echo "(the download under Wine is left out: make win64 builds it)"
fi
echo "Ratios (subject against its floor, measured in the same run):"
grep '^RESULT' "$log"
