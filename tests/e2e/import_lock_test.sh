#!/usr/bin/env bash
# Two advisors importing into one data directory at once: the second run, started while the first
# waits for its transactions file, is refused with its line and touches nothing; the first
# completes with only its own customers. A killed run leaves no lock behind. Every file a run and
# kxdb create leave is for its owner only.
# Usage: import_lock_test.sh BUILD_BIN_DIR SOURCE_DIR
set -euo pipefail

bin=${1:?usage: import_lock_test.sh BUILD_BIN_DIR SOURCE_DIR}
top=${2:?usage: import_lock_test.sh BUILD_BIN_DIR SOURCE_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/kx-lock-test-XXXXXX")
# shellcheck source=../support/provider_simulator.sh
. "$top/tests/support/provider_simulator.sh"
trap 'sim_stop; rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Two advisors with customers of their own.
provider=$work/provider
"$bin/kxgen" --out "$provider/11111" --customers 4 --seed 1 >/dev/null
"$bin/kxgen" --out "$provider/22222" --customers 4 --seed 2 >/dev/null
printf '11111;pin-a\n22222;pin-b\n' >"$provider/accounts.txt"
sim_start "$bin/kxprovider" "$provider" || fail "no simulator"

# host NAME: an installation with its data directory (maps, an empty staging database).
host() {
  mkdir -p "$work/$1/xml_temp" "$work/$1/KORVALIX"
  cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$work/$1/KORVALIX/"
  "$bin/kxdb" create "$work/$1/KORVALIX/KXDB.IDB" >/dev/null
}
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"DownloadSrvUrl"="http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n"ImportDB"="./KXDB.IDB"\r\n' \
  "$SIM_PORT" >"$work/settings.reg"
# run_import HOST LOGIN PIN [kximport options]: one advisor's run, output in $work/HOST-LOGIN.out/.err.
run_import() {
  local at=$1 login=$2 pin=$3
  shift 3
  local prefix=
  [ "$BASHPID" = "$$" ] || prefix=exec # started with &: $! is then kximport itself
  $prefix "$bin/kximport" --settings "$work/settings.reg" --output-dir "$work/$at/xml_temp" --advisor "BR-$login" \
    --login "$login" --pin "$pin" --embedded-server --no-message-boxes "$@" \
    >"$work/$at-$login.out" 2>"$work/$at-$login.err"
}
# The document without its date, which a run a moment later may change.
content() { grep -v '<I_Datum>' "$1"; }
# Waits until the simulator has logged a request matching PATTERN (up to 15 s).
await_request() {
  local i
  for i in $(seq 150); do
    sim_log | grep -q "$1" && return 0
    sleep 0.1
  done
  fail "no request matching $1: $(sim_log)"
}

echo "== advisor A alone: the document to compare with"
host alone
run_import alone 11111 pin-a || fail "A alone: $(cat "$work/alone-11111.err")"

echo "== B started while A waits for its transactions file"
host shared
data=$work/shared/KORVALIX
sim_reset
sim_fault stall 0 1  # the holdings request of A as usual
sim_fault stall 5 1  # its transactions request waits
run_import shared 11111 pin-a --report &
first=$!
await_request 'login=11111 file=transaktionen'
got=0
run_import shared 22222 pin-b || got=$?
[ "$got" -eq 1 ] || fail "the second run exited with $got: $(cat "$work/shared-22222.err")"
grep -qF "Im Datenverzeichnis $data/ läuft bereits ein Import." "$work/shared-22222.err" ||
  fail "the second run does not name the running import: $(cat "$work/shared-22222.err")"
grep -q 'Ergebnis -29' "$work/shared-22222.err" || fail "the second run's result: $(cat "$work/shared-22222.err")"
! sim_log | grep -q 'login=22222' || fail "the refused run asked the provider"
cmp -s "$provider/11111/bestandsdaten.csv" "$data/bestandsdaten.csv" || fail "the refused run touched A's holdings file"
[ ! -e "$data/transaktionsdaten.csv" ] || fail "a transactions file appeared before A's arrived"
got=0
wait "$first" || got=$?
[ "$got" -eq 0 ] || fail "A exited with $got: $(cat "$work/shared-11111.err")"
for file in bestandsdaten.csv transaktionsdaten.csv; do
  cmp -s "$provider/11111/$file" "$data/$file" || fail "$file is not A's"
done
diff <(content "$work/alone/xml_temp/KORVALIX.XML") <(content "$work/shared/xml_temp/KORVALIX.XML") >&2 ||
  fail "A's document differs from A's document made alone"

echo "== a killed run leaves no lock behind"
sim_reset
sim_fault stall 0 1
sim_fault stall 10 1
run_import shared 22222 pin-b &
killed=$!
await_request 'login=22222 file=transaktionen'
kill -KILL "$killed"
wait "$killed" || true
run_import shared 22222 pin-b || fail "the run after a killed one: $(cat "$work/shared-22222.err")"

echo "== every file a run and kxdb create leave: no access for others"
for file in "$data"/bestandsdaten.csv "$data"/transaktionsdaten.csv "$data"/bst_error.log "$data"/tra_error.log \
  "$data"/ids_error.log "$data"/data_report.txt "$data"/data_report.json "$data"/KXDB.IDB \
  "$work"/shared/xml_temp/KORVALIX.XML; do
  [ -e "$file" ] || fail "$file was not written"
  [ "$(stat -c %a "$file")" = 600 ] || fail "$file has the rights $(stat -c %A "$file")"
done
[ -e "$data/import.lock" ] && [ ! -s "$data/import.lock" ] || fail "the lock file is not left empty in place"
echo "PASS"
