#!/usr/bin/env bash
# The whole import run through the DLL under Wine with a real staging database: the provider
# simulator over plain HTTP on loopback, the Firebird server on localhost reached through the
# bridge gds32.dll (a Wine builtin forwarding to the Linux i386 client), and the import document
# compared with the one the Linux build makes from the same files.
#   wine_run_db.sh WINE LINUX_BIN RUN_EXE DLL BRIDGE SOURCE_DIR PLANTED_DLL
# LINUX_BIN holds the Linux build's kxprovider, kxgen, kxdb and kximport; BRIDGE is the built
# gds32.dll.so. The server runs already (the test's fixture starts it); run as root, which may
# hand the database folder to the server's user. One line per check; exit code 0 only when every
# check passed.
set -eu -o pipefail
wine=$1
linux_bin=$2
runner=$3
dll=$4
bridge=$5
source_dir=$6
planted=$7
: "${WINEPREFIX:?}"
# shellcheck source=../support/provider_simulator.sh
. "$(dirname "$0")/../support/provider_simulator.sh"
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"

# Wine's WinInet and the Linux library would take a proxy from these; the simulator is reached
# directly.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinedb.XXXXXX")
trap 'sim_stop; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

prepare_server_import "$linux_bin" "$source_dir" 8 "$runner" "$bridge"
mkdir -p "$work/xml_missing"
wine_runner=$work/bin/$(basename "$runner")

sim_start "$linux_bin/kxprovider" "$work/data"

data_dir="$(timeout 30 "$wine" winepath -w "$work/abruf")\\"
wwork=$(timeout 30 "$wine" winepath -w "$work")
document=$work/xml_temp/KORVALIX.XML

# --- The run through the server: both files fetched, loaded, and the document written.
write_settings "$data_dir" "$database"
run_export "$wine_runner" "$dll" "$wwork\\xml_temp" run

# Position lines (kind 2) apart; the others in order, with the result.
expected=$(printf '%s\n' \
  "line 3 0 DataDir = $(printable "$data_dir")" \
  "line 1 1 Daten abrufen ..." \
  "line 3 0 Datendatei geladen: bestandsdaten.csv" \
  "line 3 0 Datendatei geladen: transaktionsdaten.csv" \
  "line 3 0 ImportDB = $database" \
  "line 1 10 Import $(printable "$data_dir")bestandsdaten.csv" \
  "line 1 40 Import $(printable "$data_dir")transaktionsdaten.csv" \
  "line 1 70 Erstelle XML-Datei: $(printable "$wwork\\xml_temp\\KORVALIX.XML")" \
  "result=0")
check "progress lines and result" "$expected" "$(grep -v '^line 2 ' "$work/run.out")"
positions=$(sed -n 's/^line 2 \([0-9]*\) $/\1/p' "$work/run.out")
check "positions rise and stay within 0..100" "rising, at most 100" \
  "$(if sort -n -c <<<"$positions" 2>/dev/null && [ "$(tail -n 1 <<<"$positions")" -le 100 ]; then
       echo "rising, at most 100"; else echo "$positions" | tr '\n' ' '; fi)"
check "the request log: holdings, then transactions with the start ids" \
  "$(printf '%s\n' "login=12345 file=bestaende startid= startid2= reimport= pin=geheim" \
    "login=12345 file=transaktionen startid=815 startid2=4711 reimport=0 pin=geheim")" \
  "$(sim_log)"

if [ -f "$document" ]; then
  check "the document in the output folder" yes yes
  echo "     $(wc -c <"$document") bytes, $(grep -c '<Kunde>' "$document") customers," \
    "$(grep -c '<DepotTrans>' "$document") transactions"
  if command -v xmllint >/dev/null; then
    check "the document is valid against KORVALIX.xsd" "valid" \
      "$(xmllint --noout --schema "$source_dir/install/KORVALIX.xsd" "$document" 2>&1 |
         sed "s|^$document validates\$|valid|")"
  else
    echo "     (xmllint is not installed: the schema check is left out)"
  fi
else
  check "the document in the output folder" yes "no $document"
fi
for log in bst_error.log tra_error.log ids_error.log; do
  check "$log: no rejected line" "No error found" \
    "$(tr -d '\r' <"$work/abruf/$log" 2>/dev/null | grep -x 'No error found' || echo "${log} says: $(cat "$work/abruf/$log" 2>&1)")"
done

# --- The same import through the Linux build, from the same provider files into the same
# database: the Windows code paths (numbers, dates, texts, paths) must come to the same document.
# The import date is today's for both; it is left out in case the runs straddle midnight.
mkdir -p "$work/linux/abruf" "$work/linux/xml_temp"
cp "$work"/abruf/*.txt "$work/linux/abruf/"
printf '%s\n' 'REGEDIT4' '' '[HKEY_LOCAL_MACHINE\Software\Velqora\TAVO\ImportAPI\KORVALIX]' \
  "\"DownloadSrvUrl\"=\"http://127.0.0.1:$SIM_PORT/modules/tavo/onlinedatatransfer.php\"" \
  '"Timeout"="30"' "\"DataDir\"=\"$work/linux/abruf/\"" "\"ImportDB\"=\"$database\"" >"$work/linux.reg"
if timeout 120 "$linux_bin/kximport" --settings "$work/linux.reg" --output-dir "$work/linux/xml_temp" \
  --advisor 12345 --last-import 1.0 --login 12345 --pin geheim --embedded-server --no-message-boxes \
  --option startid1=815 --option startid2=4711 >"$work/linux.out" 2>&1; then
  without_date() { grep -v '<I_Datum>' "$1" 2>/dev/null || true; }
  if cmp -s <(without_date "$document") <(without_date "$work/linux/xml_temp/KORVALIX.XML"); then
    check "the document is the Linux build's, byte for byte (the import date aside)" same same
  else
    check "the document is the Linux build's, byte for byte (the import date aside)" same \
      "$(diff <(without_date "$work/linux/xml_temp/KORVALIX.XML") <(without_date "$document") | head -n 20)"
  fi
else
  check "the Linux build's run of the same import" "exit 0" "$(cat "$work/linux.out")"
fi

# --- A database the server does not have: the server's message (every part, joined by CR LF)
# reaches the host as the error line, the result is that of a failed staging step, and no document is written.
missing="localhost:$work/db/MISSING.IDB"
write_settings "$data_dir" "$missing"
run_export "$wine_runner" "$dll" "$wwork\\xml_missing" missing
check "a missing database: result" "result=-29" "$(tail -n 1 "$work/missing.out")"
error_line=$(sed -n 's/^line 4 0 //p' "$work/missing.out")
check_contains "a missing database: the server's message" \
  "I/O error during \"open\" operation for file \"$work/db/MISSING.IDB\"\\r\\n" "$error_line"
check "a missing database: no document" "" "$(ls -A "$work/xml_missing")"

# --- A gds32.dll planted in the folder the host works in is never loaded, the client on an
# absolute PATH entry still is: the bridge moved out of the host's folder, the run started in a
# folder that holds the stand-in (Windows would search that folder before PATH). In debug mode
# the run names the client's file (the runner doubles each backslash of a line).
mkdir -p "$work/client" "$work/cwd" "$work/xml_planted"
mv "$work/bin/gds32.dll" "$work/client/gds32.dll"
cp "$planted" "$work/cwd/gds32.dll"
write_settings "$data_dir" "$database" 1
client_dir=$(timeout 30 "$wine" winepath -w "$work/client")
(
  cd "$work/cwd"
  WINEPATH=$client_dir timeout 120 "$wine" "$wine_runner" "--dll=$(timeout 30 "$wine" winepath -w "$dll")" \
    "--output=$wwork\\xml_planted" --advisor=12345 --last-import=1.0 EmbeddedIBServer=TRUE NoMessageBoxes=TRUE \
    UserLogin=12345 Password=geheim startid1=815 startid2=4711 2>"$work/planted.err"
) | tr -d '\r' | uniq >"$work/planted.out" || true
check "a gds32.dll in the current folder: the run, the stand-in's marker" "result=0 no marker" \
  "$(tail -n 1 "$work/planted.out") $([ -e "$work/cwd/gds32.dll.loaded" ] && echo marker || echo "no marker")"
check "a gds32.dll in the current folder: the debug line names the client loaded" \
  "line 3 0 Datenbank-Client: ${client_dir//\\/\\\\}\\\\gds32.dll" "$(grep -i '^line 3 0 Datenbank-Client' "$work/planted.out")"

finish
