#!/usr/bin/env bash
# One import run through the DLL under Wine, with the settings in the Wine registry and the provider
# simulator over plain HTTP on loopback: wine_run.sh WINE SIMULATOR RUN_EXE DLL
# A follow-up import (lastImport 1.0) with the start ids given, so no message box is shown.
# One line per check; exit code 0 only when every check passed.
set -eu -o pipefail
wine=$1
simulator=$2
runner=$3
dll=$4
: "${WINEPREFIX:?}"
# shellcheck source=provider_simulator.sh
. "$(dirname "$0")/provider_simulator.sh"

# Wine's WinInet would take a proxy from these; the simulator is reached directly.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwine.XXXXXX")
trap 'sim_stop; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

make_provider_files "$work/data" 12345 geheim
mkdir "$work/abruf"
sim_start "$simulator" "$work/data"

checks=0
failures=0
check() {  # WHAT EXPECTED ACTUAL
  checks=$((checks + 1))
  if [ "$2" = "$3" ]; then
    printf 'ok   %s:\n%s\n' "$1" "$3" | sed '2,$s/^/       /'
  else
    failures=$((failures + 1))
    printf 'FAIL %s\n     expected:\n%s\n     got:\n%s\n' "$1" "$(printf '%s\n' "$2" | sed 's/^/       /')" \
      "$(printf '%s\n' "$3" | sed 's/^/       /')"
  fi
}

# The settings: the simulator as the service, and a data directory of this test (the Wine path,
# ending with a backslash: the file names are appended to it as they are). The key is written
# whole, as every test that uses it does.
data_dir="$(timeout 30 "$wine" winepath -w "$work/abruf")\\"
output_dir="$(timeout 30 "$wine" winepath -w "$work")\\xml_temp"
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[-HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n'
  printf '"DownloadSrvUrl"="http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n' "$SIM_PORT"
  printf '"Timeout"="30"\r\n"DebugMode"="0"\r\n'
  printf '"DataDir"="%s"\r\n' "${data_dir//\\/\\\\}"
} >"$work/settings.reg"
timeout 60 "$wine" regedit /s "$(timeout 30 "$wine" winepath -w "$work/settings.reg")"

dll_path=$(timeout 30 "$wine" winepath -w "$dll")
timeout 120 "$wine" "$runner" "--dll=$dll_path" "--output=$output_dir" --advisor=12345 --last-import=1.0 \
  EmbeddedIBServer=TRUE NoMessageBoxes=TRUE UserLogin=12345 Password=geheim startid1=815 startid2=4711 \
  2>"$work/run.err" | tr -d '\r' >"$work/run.out" || true

# Both files fetched, then the staging step. That step is not built into the Windows library yet:
# the run ends there with an exception, which reaches the host as one error line (kind 4) and
# result -29. When the staging step exists, its outcome takes the place of the last two lines.
# Runs of (2, 5, "") are one line here: the download sends one per chunk, and the run its own 5
# after the holdings file.
printable_dir=${data_dir//\\/\\\\}
expected=$(printf '%s\n' \
  "line 3 0 DataDir = $printable_dir" \
  "line 1 1 Daten abrufen ..." \
  "line 2 5 " \
  "line 3 0 Datendatei geladen: bestandsdaten.csv" \
  "line 2 5 " \
  "line 3 0 Datendatei geladen: transaktionsdaten.csv" \
  "line 2 10 " \
  "line 4 0 (a message)" \
  "result=-29")
actual=$(uniq "$work/run.out" | sed -E 's/^line 4 0 .+$/line 4 0 (a message)/')
check "progress lines and result" "$expected" "$actual"
echo "     the error line: $(sed -n 's/^line 4 0 //p' "$work/run.out")"
if [ -s "$work/run.err" ]; then echo "     stderr: $(cat "$work/run.err")"; fi

size_of() { if [ -f "$1" ]; then echo "$(wc -c <"$1") bytes"; else echo "no file"; fi; }
for file in bestandsdaten.csv transaktionsdaten.csv; do
  if cmp -s "$work/data/12345/$file" "$work/abruf/$file"; then
    check "$file in the data directory, byte-identical" same same
  else
    check "$file in the data directory, byte-identical" "$(size_of "$work/data/12345/$file")" \
      "$(size_of "$work/abruf/$file")"
  fi
done
check "nothing else in the data directory" "$(printf '%s\n' bestandsdaten.csv transaktionsdaten.csv)" \
  "$(ls -A "$work/abruf")"

check "the provider's request log: holdings, then transactions with the start ids" \
  "$(printf '%s\n' "login=12345 file=bestaende startid= startid2= reimport= pin=geheim" \
    "login=12345 file=transaktionen startid=815 startid2=4711 reimport=0 pin=geheim")" \
  "$(sim_log)"

echo "$checks checks, $failures failed"
[ "$failures" -eq 0 ]
