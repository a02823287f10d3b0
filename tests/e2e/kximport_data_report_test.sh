#!/usr/bin/env bash
# kximport check --data on crafted provider files names every kind of finding with its line and
# column, and its counts are the rows that a real (offline) import of the same files stores.
# Usage: kximport_data_report_test.sh BUILD_BIN_DIR SOURCE_DIR
set -euo pipefail

bin=${1:?usage: kximport_data_report_test.sh BUILD_BIN_DIR SOURCE_DIR}
top=${2:?usage: kximport_data_report_test.sh BUILD_BIN_DIR SOURCE_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/kximport-data-XXXXXX")
trap 'rm -rf "$work"' EXIT
unset LANG LC_ALL LC_MESSAGES  # German texts

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

data=$work/host/KORVALIX
mkdir -p "$work/host/xml_temp" "$data/debug"
cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$data/"
"$bin/kxdb" create "$data/KXDB.IDB" >/dev/null
"$bin/kxgen" --out "$work/gen" --customers 3 --seed 7 >/dev/null
cp "$work/gen/bestandsdaten.csv" "$data/debug/"

# The generated transactions with the sixth header name changed, then one crafted record per kind.
# f ID TYPE DATE TEXT: a record like the generated ones.
f() { printf '%s;4711;31412;A7;7000000076;%s;%s;%s;20160618;100.00;90.00;USD;1.5;1.4;0;5;2;858250;DE0008582503;Null;02;001;1;2\r\n' "$1" "$2" "$4" "$3"; }
{
  head -n 1 "$work/gen/transaktionsdaten.csv" | sed 's/;TRATYPKZ;/;TYP;/'
  tail -n +2 "$work/gen/transaktionsdaten.csv"
  f X-1 1 2016-06-16 Kauf                                   # TRADAT does not convert: NULL
  f X-2 1 20160616 "Kauf mit einem sehr langen Text"        # TRATYPKZTXT cut to 20
  f X-3 9 20160616 Kauf                                     # left out by its type code
  printf 'X-4;4711\r\n'                                     # too few fields: left out too (no type code)
  f X-1 3 20160617 Verkauf                                  # repeated id
  f 123456789012345678901 1 20160616 Kauf
  f 123456789012345678902 1 20160616 Kauf                   # the same id after the cut to 20
  f X-5 1 20160616 KaZuf | sed 's/KaZuf/Ka\x00uf/'           # a zero byte
  f X-6 1 20160616 Kauf | sed 's/^X-6;4711;/X-6;abc;/'      # VERBERNR does not convert
} >"$data/debug/transaktionsdaten.csv"
cp "$data/debug/"*.csv "$data/"

# Offline: the library copies the files of debug/ instead of fetching them.
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"DebugMode"="2"\r\n"ImportDB"="./KXDB.IDB"\r\n' \
  >"$work/offline.reg"
"$bin/kximport" check --data "$data" --settings "$work/offline.reg" --max 100 --json "$work/report.json" >"$work/report" 2>&1 ||
  fail "check --data failed: $(cat "$work/report")"
last=$(wc -l <"$data/transaktionsdaten.csv")  # the number of the last line
for expected in \
  'Feld 6: "TYP" statt TRATYPKZ' \
  "Zeile $((last - 8)), TRADAT (Feld 8, INTEGER): \"2016-06-16\"" \
  "Zeile $((last - 7)), TRATYPKZTXT (Feld 7): 31 Bytes, 20 behalten" \
  "Zeile $((last - 6)): TRATYPKZ \"9\"" \
  "Zeile $((last - 5)): 2 von 22 Feldern" \
  "Zeile $((last - 4)): TRAID \"X-1\" wie Zeile $((last - 8))" \
  "Zeile $((last - 2)): TRAID \"123456789012345678902\" wie Zeile $((last - 3)) (12345678901234567890)" \
  "Nullbytes: 1" \
  "Zeile $((last - 1))" \
  "Zeile $last, VERBERNR (Feld 2, INTEGER): \"abc\""; do
  grep -qF "$expected" "$work/report" || fail "the report lacks '$expected': $(cat "$work/report")"
done
grep -q '"kind": "duplicate-id"' "$work/report.json" || fail "no JSON findings: $(head -c 500 "$work/report.json")"
python3 -c 'import json,sys; json.load(open(sys.argv[1]))' "$work/report.json" || fail "the JSON does not parse"
# Without settings the run's rule names the database (through the server); a failure says which.
code=0
VELQORA_REGISTRY= "$bin/kximport" check --data "$data" --settings "$work/none.reg" >"$work/nodb" 2>&1 || code=$?
[ "$code" = 1 ] && grep -qF "Staging-Datenbank localhost:$data/KXDB.IDB (kein ImportDB gesetzt" "$work/nodb" &&
  grep -qF "keine Einstellungsdatei ($work/none.reg fehlt)" "$work/nodb" ||
  fail "check --data without settings: exit $code, $(cat "$work/nodb")"

# The same files through a real offline import, then the rows in the staging tables.
"$bin/kximport" --settings "$work/offline.reg" --output-dir "$work/host/xml_temp" --login L --pin P \
  --embedded-server --no-message-boxes --report >"$work/run" 2>&1 || fail "the import failed: $(cat "$work/run")"
[ -s "$data/data_report.txt" ] && [ -s "$data/data_report.json" ] || fail "--report wrote no data report"
count() { printf 'select count(*) from %s;\n' "$1" | isql-fb -q -user SYSDBA "$data/KXDB.IDB" | awk 'NF == 1 && $1 ~ /^[0-9]+$/ { print $1 }'; }
stored() { awk -v file="$1" '$0 ~ file { found = 1 } found && /gespeichert/ { sub(/.*gespeichert /, ""); sub(/,.*/, ""); print; exit }' "$work/report"; }
[ "$(count BESTAENDE)" = "$(stored bestandsdaten)" ] ||
  fail "holdings: $(count BESTAENDE) rows stored, the report says $(stored bestandsdaten)"
[ "$(count TRANSAKTIONEN)" = "$(stored transaktionsdaten)" ] ||
  fail "transactions: $(count TRANSAKTIONEN) rows stored, the report says $(stored transaktionsdaten)"
echo "PASS"
