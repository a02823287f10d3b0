#!/usr/bin/env bash
# The 32-bit build's tests inside the guest, where 32-bit Wine runs:
#   run-set.sh WIN32_BUILD OUT
# The build's configure step runs again here, so that it finds the 32-bit loader and registers
# every Wine test to run; the gds32.dll bridge is built with winegcc -m32; then CTest runs the
# whole set once, but for the soak (below). What the host left in the build from a native run
# (a Wine prefix, a bridge, results) is set aside first, so the guest makes its own as on a
# machine that never could. OUT receives configure.log, bridge.log, prefix.log, ctest.log,
# LastTest.log, test-artefacts/ and summary (one line: passed, failed, skipped, of how many).
# Exit 0 only when CTest passed and no test was skipped for a reason other than an installer
# not yet built.
set -uo pipefail
build=$1
out=$2

log() { echo "kx-guest: $*" | tee -a "$out/guest.log"; }
fail() {
  log "$*"
  exit 1
}

# What the set needs from the tree; a missing one names its package.
while read -r program package; do
  command -v "$program" >/dev/null || [ -x "$program" ] || fail "$program is missing from the guest (package $package; scripts/guest/packages)"
done <<'EOF'
/usr/lib/wine/wine wine32:i386
winegcc wine64-tools
cmake cmake
ninja ninja-build
i686-w64-mingw32-objdump binutils-mingw-w64-i686
fbguard firebird3.0-server
isql-fb firebird3.0-utils
Xvfb xvfb
convert imagemagick
osslsigncode osslsigncode
wrestool icoutils
xmllint libxml2-utils
openssl openssl
EOF
missing_libraries=$(ldd "$(dirname "$(grep -m1 '^KX_SIMULATOR:' "$build/CMakeCache.txt" | cut -d= -f2)")"/* 2>/dev/null |
  awk '/not found/ { print $1 }' | sort -u | tr '\n' ' ')
[ -z "$missing_libraries" ] || fail "the Linux build's programs miss libraries in the guest: $missing_libraries"

rm -rf "$build/wineprefix" "$build/Testing" "$build/test-artefacts" "$build/tests/win32/gds32bridge/gds32.dll.so"

# win32.HostWithWindowsRunsAsUserDoes makes the default run here, but not the 100 runs in one host
# process after it: under emulation a run takes 35-40 s. The 64-bit set makes all of them natively.
start=$SECONDS
cmake -DKX_WINE_TIMEOUT_SCALE=4 -DKX_HOSTUI_RUNS=0 "$build" >"$out/configure.log" 2>&1 || fail "the configure step failed in the guest (configure.log)"
grep -q 'Wine tests run on the 32-bit DLL' "$out/configure.log" ||
  fail "the configure step in the guest does not run the 32-bit Wine tests: $(grep -A2 -i 'wine' "$out/configure.log" | head -n 5)"
log "configured in $((SECONDS - start)) s"

start=$SECONDS
cmake --build "$build" --target gds32bridge >"$out/bridge.log" 2>&1 || fail "building the gds32.dll bridge failed (bridge.log)"
log "gds32.dll bridge (winegcc -m32) built in $((SECONDS - start)) s"

# One Wine server for the whole set. A Wine process that finds no server starts one, and with it
# Wine's system processes (services, the desktop's explorer), which under emulation costs half a
# minute or more; a persistent server keeps them, so later programs start in about a second. So
# the prefix is made here first, as the WinePrefix fixture (tests/win32/wine_prefix.sh) makes it
# but with the time emulation needs, and marked ready for it. Then a loop keeps a persistent
# server up, also after a test has ended it with wineserver -k, and starts the system processes
# itself with a first program (cmd): started by a test's program they would hold its output pipe
# open, and CTest would wait for them until the test's time-out.
wine_env=(env -u DISPLAY WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")
start=$SECONDS
mkdir -p "$build/wineprefix"
{ timeout 900 "${wine_env[@]}" wine wineboot -i && timeout 300 "${wine_env[@]}" wineserver -w; } >"$out/prefix.log" 2>&1 ||
  fail "the Wine prefix could not be made (prefix.log)"
touch "$build/wineprefix/.kx-prefix-ready"
log "Wine prefix made in $((SECONDS - start)) s"
keep_server() {
  while :; do
    "${wine_env[@]}" wineserver -p
    "${wine_env[@]}" wine cmd /c exit
    "${wine_env[@]}" wineserver -w
    sleep 1
  done
}
start=$SECONDS
keep_server </dev/null >"$out/wineserver.log" 2>&1 &
keeper=$!
# shellcheck disable=SC2317 # called by the trap
stop_server() {
  kill "$keeper" 2>/dev/null
  "${wine_env[@]}" wineserver -k 2>/dev/null
}
trap stop_server EXIT
# The set starts once the system processes run (the first program has them).
for _ in $(seq 600); do
  pgrep -x services.exe >/dev/null && break
  sleep 0.5
done
log "persistent Wine server with its system processes up in $((SECONDS - start)) s"

log "ctest: the 32-bit set"
# KX_GUEST_TESTS: a -R pattern of scripts/win32-guest.sh, for a part of the set.
ctest --test-dir "$build" --output-on-failure --timeout 2400 ${KX_GUEST_TESTS:+-R "$KX_GUEST_TESTS"} 2>&1 |
  tee "$out/ctest.log"
status=${PIPESTATUS[0]}
cp "$build/Testing/Temporary/LastTest.log" "$out/" 2>/dev/null || true
cp -r "$build/test-artefacts" "$out/" 2>/dev/null || true

total=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\2/p' "$out/ctest.log")
failed=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of [0-9]*$/\1/p' "$out/ctest.log")
skipped=$(grep -c '(Skipped)$' "$out/ctest.log" || true)
echo "$((${total:-0} - ${failed:-0} - skipped)) passed, ${failed:-?} failed, $skipped skipped of ${total:-0}; the 100 runs in one host process left to the 64-bit set" >"$out/summary"
# A skipped test has printed its reason; only an installer that make package has not built yet
# is a reason here, as on the native path.
unexpected=$(grep -h '^skipped: ' "$out/LastTest.log" 2>/dev/null | grep -v 'make package builds' || true)
if [ -n "$unexpected" ]; then
  log "tests skipped inside the guest: $unexpected"
  exit 1
fi
exit "$status"
