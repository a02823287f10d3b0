#!/usr/bin/env bash
# The start of the database server through the DLL's Win32 adapter under Wine: the installation
# key from a .reg file, a stand-in server window, stand-in services registered with sc, and one
# ExportXML run per case (kxrun_win, without EmbeddedIBServer, with a Password and no UserLogin:
# a run that gets past the server step ends with -12).
#   wine_server.sh WINE WINESERVER RUN_EXE DLL WINDOW_EXE SERVICE_EXE
# A fresh prefix of its own, since the cases register services; its architecture follows the
# DLL's. One line per check; exit code 0 only when every check passed.
set -eu -o pipefail
wine=$1
wineserver=$2
runner=$3
dll=$4
window_exe=$5
service_exe=$6
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"

# The machine field of the PE header: a 32-bit DLL reads the registry's 32-bit view, which only
# a 32-bit prefix writes with regedit as it is.
pe_machine() { od -An -tx2 -j "$(($(od -An -tu4 -j 60 -N 4 "$1") + 4))" -N 2 "$1" | tr -d ' '; }
case $(pe_machine "$dll") in
  8664) arch=win64 ;;
  014c) arch=win32 ;;
  *) echo "not a Windows DLL: $dll" >&2; exit 1 ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwineserver.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=$arch WINEDEBUG=${WINEDEBUG--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES-mscoree,mshtml=}  # no Mono or Gecko installer at boot
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

timeout 300 "$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
# The tests run without a display; Wine's null graphics driver still makes windows, and
# FindWindowA finds them.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
kx=$WINEPREFIX/drive_c/kx
mkdir "$kx"
cp "$runner" "$dll" "$window_exe" "$service_exe" "$kx/"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\InterBase\\CurrentVersion]\r\n%s\r\n' \
  '"ServerDirectory"="C:\\IB\\bin\\"' >"$kx/installed.reg"
printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\InterBase]\r\n' >"$kx/removed.reg"

services=(InterBaseGuardian InterBaseServer)
# KEY: present or missing. GUARDIAN: - (no such service) or after-MS, a stopped stand-in that,
# once started, starts the server service that long after it runs, as a guardian does. SERVER:
# -, stopped (a stand-in), or no-program (registered, but its file is no Windows program).
prepare() {
  local key=$1 guardian=$2 server=$3 service program log='C:\kx\services.log'
  "$wineserver" -k 2>/dev/null || true  # the last case's processes, services included
  # A persistent server: otherwise Wine ends the services about a second after the last program
  # has ended, which can be before a service started late has written its line.
  "$wineserver" -p
  rm -f "$kx/services.log"
  timeout 60 "$wine" regedit /s "C:\\kx\\$([ "$key" = present ] && echo installed || echo removed).reg"
  for service in "${services[@]}"; do timeout 60 "$wine" sc delete "$service" >/dev/null 2>&1 || true; done
  program="C:\\kx\\$(basename "$service_exe")"
  case $guardian in
    -) ;;
    after-*) timeout 60 "$wine" sc create InterBaseGuardian \
      binPath= "$program InterBaseGuardian $log ${guardian#after-} InterBaseServer" >/dev/null ;;
  esac
  case $server in
    -) ;;
    stopped) timeout 60 "$wine" sc create InterBaseServer binPath= "$program InterBaseServer $log" >/dev/null ;;
    no-program)
      echo "not a program" >"$kx/noprogram.exe"
      timeout 60 "$wine" sc create InterBaseServer binPath= 'C:\kx\noprogram.exe' >/dev/null ;;
  esac
}

# Prints ready, then keeps the window until its flag file is removed.
window_up() {
  touch "$kx/window.flag"
  (cd "$kx" && exec "$wine" "$kx/$(basename "$window_exe")" 'C:\kx\window.flag' >"$work/window.out" 2>&1) &
  for _ in $(seq 300); do
    if grep -q ready "$work/window.out" 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  echo "     the server window did not come up: $(cat "$work/window.out")"
}

# One case: NAME KEY WINDOW GUARDIAN SERVER RUN_OUTPUT SERVICE_LOG, where RUN_OUTPUT and
# SERVICE_LOG are lines joined by "|" ("-" for an empty log). The system's text after a
# Win32 error code stands as "(system text)"; it differs between Wine versions and languages.
server_case() {
  local name=$1 key=$2 window=$3 guardian=$4 server=$5 output=$6 log=$7
  prepare "$key" "$guardian" "$server"
  if [ "$window" = up ]; then window_up; fi
  (cd "$kx" && timeout 120 "$wine" "$kx/$(basename "$runner")" "--dll=C:\\kx\\$(basename "$dll")" \
    '--output=C:\Host\xml_temp' --advisor=12345 --last-import=1.0 NoMessageBoxes=TRUE Password=geheim \
    2>"$work/run.err") | tr -d '\r' >"$work/run.out" || true
  if [ -s "$work/run.err" ]; then echo "     stderr of $name: $(cat "$work/run.err")"; fi
  # A start the run has seen begin may not have reached the log yet: wait for the lines expected.
  local actual_log=- lines=0
  if [ "$log" != - ]; then lines=$(tr '|' '\n' <<<"$log" | wc -l); fi
  for _ in $(seq 100); do
    if [ "$lines" = 0 ] || [ "$(wc -l 2>/dev/null <"$kx/services.log" || echo 0)" -ge "$lines" ]; then break; fi
    sleep 0.1
  done
  if [ -s "$kx/services.log" ]; then actual_log=$(tr -d '\r' <"$kx/services.log"); fi
  rm -f "$kx/window.flag"
  check "$name: the run" "$(tr '|' '\n' <<<"$output")" \
    "$(sed -E 's/^(line 4 0 Win32-Fehler\. Code: [0-9]+\.\\n).+$/\1(system text)/' "$work/run.out")"
  check "$name: the services" "$(tr '|' '\n' <<<"$log")" "$actual_log"
}

not_installed='line 1 0 Datenbanksystem "Interbase" nicht installiert. Bitte installieren Sie Interbase neu.'
not_started='line 1 0 Datenbanksystem "Interbase" konnte nicht gestartet werden.'
# The guardian that starts the server 300 ms after it runs is seen only because the run pauses
# before it checks again; one that takes 3 s is not, since there is one check only.
#           name                   key     window guardian   server     run's output                     services' log
server_case key-missing            missing -      -          -          "$not_installed|result=-29"      -
server_case window-up              present up     -          -          "result=-12"                     -
server_case guardian-starts-server present -      after-300  stopped    "result=-12"                     "InterBaseGuardian running|InterBaseServer running|InterBaseGuardian started InterBaseServer"
server_case guardian-too-slow      present -      after-3000 stopped    "$not_started|result=-29"        "InterBaseGuardian running"
server_case no-guardian            present -      -          stopped    "result=-12"                     "InterBaseServer running"
server_case no-services            present -      -          -          'line 4 0 Win32-Fehler. Code: 1060.\n(system text)|result=-29' -
server_case server-not-a-program   present -      -          no-program 'line 4 0 Win32-Fehler. Code: 193.\n(system text)|result=-29'  -
finish
