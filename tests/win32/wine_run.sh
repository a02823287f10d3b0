#!/usr/bin/env bash
# One import run through the DLL under Wine where no database client can be loaded, as on a
# Windows machine without one: the settings in the Wine registry, the provider simulator over
# plain HTTP on loopback. wine_run.sh WINE SIMULATOR RUN_EXE DLL
# The runner is copied to a folder of its own and started there: neither that folder nor the
# current one holds a gds32.dll or fbclient.dll.
# One line per check; exit code 0 only when every check passed.
set -eu -o pipefail
wine=$1
simulator=$2
runner=$3
dll=$4
: "${WINEPREFIX:?}"
# shellcheck source=../support/provider_simulator.sh
. "$(dirname "$0")/../support/provider_simulator.sh"
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"

# Wine's WinInet would take a proxy from these; the simulator is reached directly.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwine.XXXXXX")
trap 'sim_stop; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

make_provider_files "$work/data" 12345 geheim
mkdir "$work/abruf" "$work/bin"
cp "$runner" "$work/bin/"
sim_start "$simulator" "$work/data"

data_dir="$(timeout 30 "$wine" winepath -w "$work/abruf")\\"
output_dir="$(timeout 30 "$wine" winepath -w "$work")\\xml_temp"
write_settings "$data_dir"
run_export "$work/bin/$(basename "$runner")" "$dll" "$output_dir" run

# Both files fetched, then the staging step, which cannot load a client library: its exception
# reaches the host as one error line (kind 4) and result -29. Runs of (2, 5, "") are one line
# here: the download sends one per chunk, and the run its own 5 after the holdings file.
expected=$(printf '%s\n' \
  "line 3 0 DataDir = $(printable "$data_dir")" \
  "line 1 1 Daten abrufen ..." \
  "line 2 5 " \
  "line 3 0 Datendatei geladen: bestandsdaten.csv" \
  "line 2 5 " \
  "line 3 0 Datendatei geladen: transaktionsdaten.csv" \
  "line 2 10 " \
  "line 4 0 (a message)" \
  "result=-29")
actual=$(sed -E 's/^line 4 0 .+$/line 4 0 (a message)/' "$work/run.out")
check "progress lines and result" "$expected" "$actual"
# Both names are tried; the first is the one a Windows client installs.
error_line=$(sed -n 's/^line 4 0 //p' "$work/run.out")
check_contains "the error line names the client library" \
  "cannot load the database client library: cannot load gds32.dll" "$error_line"
check_contains "the error line names the second library tried" "fbclient.dll" "$error_line"
check "no import document" "no file" "$([ -e "$work/xml_temp/KORVALIX.XML" ] && echo file || echo no file)"

size_of() { if [ -f "$1" ]; then echo "$(wc -c <"$1") bytes"; else echo "no file"; fi; }
for file in bestandsdaten.csv transaktionsdaten.csv; do
  if cmp -s "$work/data/12345/$file" "$work/abruf/$file"; then
    check "$file in the data directory, byte-identical" same same
  else
    check "$file in the data directory, byte-identical" "$(size_of "$work/data/12345/$file")" \
      "$(size_of "$work/abruf/$file")"
  fi
done
# import.lock is the run's lock file, which stays.
check "nothing else in the data directory" "$(printf '%s\n' bestandsdaten.csv transaktionsdaten.csv)" \
  "$(ls -A "$work/abruf" | grep -vx import.lock)"

check "the provider's request log: holdings, then transactions with the start ids" \
  "$(printf '%s\n' "login=12345 file=bestaende startid= startid2= reimport= pin=geheim" \
    "login=12345 file=transaktionen startid=815 startid2=4711 reimport=0 pin=geheim")" \
  "$(sim_log)"

finish
