#!/usr/bin/env bash
# Whole runs of the DLL under Wine as a user makes them, with the windows drawn on a virtual X
# server: a host window, the PIN typed into the real prompt, the progress window up during each
# download, the provider simulator, and the staging database on the Firebird server (through the
# bridge gds32.dll).
#   wine_hostui.sh WINE WINESERVER LINUX_BIN HOSTUI_EXE DLL BRIDGE SERVER_WINDOW_EXE SOURCE_DIR RUNS
#
# 1. The default run: no EmbeddedIBServer and no Password option. The run finds the database
#    server (the installation key and a stand-in server window), asks for the PIN, and writes a
#    complete document that the schema accepts.
# 2. RUNS runs in one host process, the PIN typed each time: every run succeeds, and the
#    process's GDI, USER and handle counts after the last are those after the fifth. RUNS 0 leaves
#    them out (the emulated guest, where a run takes half a minute: the 64-bit set has them).
# KX_WINE_TIMEOUT_SCALE stretches the host's time limits.
# Run as root with the Firebird server running (the fixture starts it). One line per check; exit
# code 0 only when every check passed.
set -eu -o pipefail
wine=$1
wineserver=$2
linux_bin=$3
host_exe=$4
dll=$5
bridge=$6
window_exe=$7
source_dir=$8
runs=$9
scale=${KX_WINE_TIMEOUT_SCALE:-1}
: "${WINEPREFIX:?}"
# shellcheck source=../support/provider_simulator.sh
. "$(dirname "$0")/../support/provider_simulator.sh"
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"
# shellcheck source=xvfb_support.sh
. "$(dirname "$0")/xvfb_support.sh"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinehostui.XXXXXX")
# The prefix's processes drew on this X server: they end before it does (the Wine tests run one
# at a time).
trap 'rm -f "$work/window.flag"; sim_stop; "$wineserver" -k 2>/dev/null || true; xvfb_stop; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

xvfb_start "$work"
prepare_server_import "$linux_bin" "$source_dir" 2 "$host_exe" "$window_exe" "$bridge"
sim_start "$linux_bin/kxprovider" "$work/data"
data_dir="$(timeout 30 "$wine" winepath -w "$work/abruf")\\"
wwork=$(timeout 30 "$wine" winepath -w "$work")
document=$work/xml_temp/KORVALIX.XML
write_settings "$data_dir" "$database"
wine_host=$work/bin/$(basename "$host_exe")
dll_path=$(timeout 30 "$wine" winepath -w "$dll")

# NAME RUNS OPTION...: the host's runs, its output in $work/NAME.out (CR removed). The host runs
# inside a Wine virtual desktop: its windows are then no X windows of their own, and hiding one
# does not wait for a window manager that is not there (2 s each time).
host_runs() {
  local name=$1 count=$2
  shift 2
  (cd "$work/bin" && timeout $(((60 + 10 * count) * scale)) "$wine" explorer "/desktop=kxhostui$$,800x600" "$wine_host" "--dll=$dll_path" \
    "--output=$wwork\\xml_temp" --pin=geheim "--runs=$count" "$@" 2>"$work/$name.err") |
    tr -d '\r' >"$work/$name.out" || true
}

# --- 1. The default run, the database server found by its window.
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\InterBase\\CurrentVersion]\r\n%s\r\n' \
  '"ServerDirectory"="C:\\IB\\bin\\"' >"$work/installed.reg"
timeout 60 "$wine" regedit /s "$(timeout 30 "$wine" winepath -w "$work/installed.reg")"
touch "$work/window.flag"
# In the host's desktop: FindWindowA looks for top-level windows of its own desktop only.
(cd "$work/bin" && exec "$wine" explorer "/desktop=kxhostui$$,800x600" "$(basename "$window_exe")" \
  "$(timeout 30 "$wine" winepath -w "$work/window.flag")" \
  >"$work/window.out" 2>&1) &
for _ in $(seq $((300 * scale))); do grep -q ready "$work/window.out" 2>/dev/null && break; sleep 0.1; done
host_runs default 1 UserLogin=12345 startid1=815 startid2=4711
rm -f "$work/window.flag"
check "the default run: result, one PIN prompt answered, the progress window shown" \
  "run 1 result=0 prompts=1 progress-window=yes" "$(grep '^run 1 ' "$work/default.out")"
check "the default run: the PIN typed reaches the provider" \
  "login=12345 file=transaktionen startid=815 startid2=4711 reimport=0 pin=geheim" "$(sim_log | tail -n 1)"
check "the default run: the document is valid against KORVALIX.xsd" valid \
  "$(xmllint --noout --schema "$source_dir/install/KORVALIX.xsd" "$document" 2>&1 |
     sed "s|^$document validates\$|valid|")"
printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\InterBase]\r\n' >"$work/removed.reg"
timeout 60 "$wine" regedit /s "$(timeout 30 "$wine" winepath -w "$work/removed.reg")"

# --- 2. Many runs in one process: nothing of the windows is left behind.
if [ "$runs" -eq 0 ]; then
  echo "note: no runs in one process asked for (the 64-bit set has them)"
  finish
  exit 0
fi
host_runs many "$runs" EmbeddedIBServer=TRUE UserLogin=12345 startid1=815 startid2=4711
check "$runs runs in one process: each succeeded with the PIN typed and the progress window shown" \
  "$runs of $runs" "$(grep -c -x 'run [0-9]* result=0 prompts=1 progress-window=yes' "$work/many.out") of $runs"
check "$runs runs in one process: GDI, USER and handle counts flat after the fifth" \
  "ok   resources flat from run 5 to run $runs" "$(grep 'resources flat' "$work/many.out" || tail -n 5 "$work/many.out")"
grep '^resources after' "$work/many.out" | sed 's/^/     /'
finish
