#!/usr/bin/env bash
# kximport check on a working installation (every line ✓, exit 0), then on installations with one
# fault each: the ✗ line names it and the exit status is 1.
# Usage: kximport_check_test.sh BUILD_BIN_DIR SOURCE_DIR
set -euo pipefail

bin=${1:?usage: kximport_check_test.sh BUILD_BIN_DIR SOURCE_DIR}
top=${2:?usage: kximport_check_test.sh BUILD_BIN_DIR SOURCE_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/kximport-check-XXXXXX")
simulators=()
trap 'for p in "${simulators[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
unset LANG LC_ALL LC_MESSAGES https_proxy HTTPS_PROXY http_proxy HTTP_PROXY all_proxy ALL_PROXY

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# An HTTPS simulator presenting the given certificate variant, its port in PORT. Not in a
# subshell: the simulator ends with its parent.
start_simulator() {
  local ports=$work/ports-$1
  "$bin/kxprovider" --data "$work/provider" --https-port 0 --cert-dir "$work/certs" --cert-variant "$1" \
    --port-file "$ports" --die-with-parent >/dev/null &
  simulators+=($!)
  for _ in $(seq 1 150); do
    grep -qx ready "$ports" 2>/dev/null && break
    sleep 0.1
  done
  PORT=$(awk '$1 == "https-port" {print $2}' "$ports")
}

mkdir -p "$work/provider" "$work/host/xml_temp" "$work/host/KORVALIX"
# shellcheck source=../support/provider_simulator.sh
. "$top/tests/support/provider_simulator.sh"
make_provider_files "$work/provider" 12345 geheim
"$bin/kxprovider" --make-certs "$work/certs" >/dev/null
start_simulator good
good_port=$PORT
start_simulator expired
expired_port=$PORT
[ -n "$good_port" ] && [ -n "$expired_port" ] || fail "no simulator"
export VELQORA_CA_FILE=$work/certs/ca.pem

data=$work/host/KORVALIX
cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$data/"
"$bin/kxdb" create "$data/KXDB.IDB" >/dev/null

# settings [PORT] [LINE...]: the settings file with the address on PORT and more value lines.
settings() {
  local port=$1
  shift
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n'
  printf '"DownloadSrvUrl"="https://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n' "$port"
  printf '"ImportDB"="./KXDB.IDB"\r\n'
  printf '%s\r\n' "$@"
}
settings "$good_port" >"$work/good.reg"

check() { "$bin/kximport" check --output-dir "$work/host/xml_temp" "$@" >"$work/out" 2>&1; }

echo "== a working installation"
check --settings "$work/good.reg" || fail "the check of a working installation failed: $(cat "$work/out")"
! grep -qv '^✓' "$work/out" || fail "not every line is ✓: $(cat "$work/out")"
grep -q 'Schema vollständig' "$work/out" || fail "no schema line: $(cat "$work/out")"
grep -q 'Zertifikat geprüft' "$work/out" || fail "no certificate line: $(cat "$work/out")"
KX_PIN=geheim check --settings "$work/good.reg" --deep --login 12345 ||
  fail "the deep check failed: $(cat "$work/out")"
grep -q '^✓ Der Anbieter liefert Bestandsdaten: ' "$work/out" || fail "no provider answer: $(cat "$work/out")"
[ ! -e "$data/bestandsdaten.csv" ] || fail "the deep check stored the provider's file"
LANG=en_GB.UTF-8 check --settings "$work/good.reg"
grep -q '^✓ Staging database: schema complete' "$work/out" || fail "no English texts: $(cat "$work/out")"

echo "== the data directory as the run derives it"
mkdir -p "$work/host/out" "$work/host/outKORVALIX"
cp "$data"/*.txt "$data/KXDB.IDB" "$work/host/outKORVALIX/"
# DataDir setting | --output-dir | exit status | a line the output holds
while IFS='|' read -r dataDir outputDir status line; do
  settings "$good_port" ${dataDir:+"\"DataDir\"=\"$dataDir\""} >"$work/dd.reg"
  code=0
  "$bin/kximport" check --settings "$work/dd.reg" ${outputDir:+--output-dir "$outputDir"} >"$work/out" 2>&1 || code=$?
  [ "$code" = "$status" ] || fail "DataDir '$dataDir', output '$outputDir': exit $code: $(cat "$work/out")"
  grep -qF -- "$line" "$work/out" || fail "DataDir '$dataDir', output '$outputDir': no '$line': $(cat "$work/out")"
done <<EOF
|$work/host/xml_temp|0|✓ Datenverzeichnis $work/host/KORVALIX/ (beschreibbar)
$data/|$work/host/xml_temp|0|✓ Datenverzeichnis $data/ (beschreibbar)
$data/||0|⚠ Ordner der Importdatei ungeprüft
$data|$work/host/xml_temp|1|✗ DataDir = $data endet nicht mit "/": der Import schreibt ${data}bestandsdaten.csv
|$work/host/out|0|⚠ Der Ordner der Importdatei enthält kein "xml_temp": das Datenverzeichnis ist $work/host/outKORVALIX/
||0|⚠ Datenverzeichnis unbekannt
|$work/host/missing|1|✗ Ordner der Importdatei $work/host/missing fehlt
EOF
code=0
check --settings "$work/good.reg" --deep >/dev/null 2>&1 || code=$?
[ "$code" = 2 ] || fail "--deep without --login: exit $code, not 2"

# expect_fault NAME PATTERN CHECK-ARGUMENTS...: exit status 1 and a ✗ line matching PATTERN.
expect_fault() {
  local name=$1 pattern=$2
  shift 2
  echo "== $name"
  if check "$@"; then fail "$name: the check passed: $(cat "$work/out")"; fi
  grep -q "^✗ .*$pattern" "$work/out" || fail "$name: no ✗ line with '$pattern': $(cat "$work/out")"
}

KX_PIN=falsch expect_fault "a wrong PIN" "Der Anbieter antwortet: Fehler 10" --settings "$work/good.reg" --deep \
  --login 12345
expect_fault "no settings file" "Einstellungsdatei .*nicht gefunden" --settings "$work/none.reg"
settings "$good_port" '"Timeout"=dword:0000003c' >"$work/dword.reg"
expect_fault "a dword value" "Zeile 6: Timeout ist vom Typ dword" --settings "$work/dword.reg"
grep -q '^⚠ DownloadSrvUrl = .* wird nicht benutzt' "$work/out" && ! grep -q '^✓ DownloadSrvUrl' "$work/out" ||
  fail "a dword value: the address that the run will not use is not marked: $(cat "$work/out")"
settings "$good_port" '"DownloadSrvURL"="x"' '"ImprtDB"="y"' >"$work/typo.reg"
check --settings "$work/typo.reg" || true
grep -q '^⚠ Zeile 7: unbekannter Wert ImprtDB' "$work/out" || fail "a misspelt value is not named: $(cat "$work/out")"
settings "$expired_port" >"$work/expired.reg"
expect_fault "an expired certificate" "nicht erreichbar: .*certificate" --settings "$work/expired.reg"

cp "$data/TRANSAKT.txt" "$work/TRANSAKT.txt"
sed -i 's/^TRADAT=/TRADATUM=/' "$data/TRANSAKT.txt"
expect_fault "an unknown map column" 'TRANSAKT.txt, Zeile 8: Spalte "TRADATUM"' --settings "$work/good.reg"
awk 'NR == 5 { held = $0; next } NR == 6 { print; print held; next } 1' "$work/TRANSAKT.txt" >"$data/TRANSAKT.txt"
expect_fault "a moved type column" "TRANSAKT.txt, Zeile 6: DEPSTNR=5 statt der Art" --settings "$work/good.reg"
cp "$work/TRANSAKT.txt" "$data/TRANSAKT.txt"

grep -v '^ *TRASTK ' "$top/install/KXDB.sql" >"$work/no-trastk.sql"
"$bin/kxdb" create "$data/NOCOL.IDB" --schema "$work/no-trastk.sql" >/dev/null
settings "$good_port" '"ImportDB"="./NOCOL.IDB"' | sed '/"ImportDB"="\.\/KXDB/d' >"$work/nocol.reg"
expect_fault "a database without a column" "Schema unvollständig: .*TRASTK" --settings "$work/nocol.reg"
settings "$good_port" | sed 's|"ImportDB"=.*|"ImportDB"="127.0.0.1/1:/srv/KXDB.IDB"|' >"$work/noserver.reg"
expect_fault "no server" "Staging-Datenbank 127.0.0.1/1:/srv/KXDB.IDB nicht erreichbar" --settings "$work/noserver.reg"
echo "PASS"
