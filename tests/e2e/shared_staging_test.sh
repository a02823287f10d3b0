#!/usr/bin/env bash
# Workstations that share one staging database through the Firebird server, each with its own
# output folder and data directory: eight advisors' runs started together each write exactly the
# document their run makes alone; a run killed in its load leaves the others and the next run
# right; a run that finds the database held (through the server, or its file open in another
# process's engine) waits with its line and goes on, or ends on Ctrl+C or at its time-out having
# touched nothing. Needs root and the running server (the fixture).
# Usage: shared_staging_test.sh BUILD_BIN_DIR SOURCE_DIR
set -euo pipefail

bin=${1:?usage: shared_staging_test.sh BUILD_BIN_DIR SOURCE_DIR}
top=${2:?usage: shared_staging_test.sh BUILD_BIN_DIR SOURCE_DIR}
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: the server's database folder is made for its user, as root"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kx-shared-staging-XXXXXX")
chmod 711 "$work"  # the server, as its own user, reaches its folder inside
# shellcheck source=../support/provider_simulator.sh
. "$top/tests/support/provider_simulator.sh"
# shellcheck source=../support/staging_holder.sh
. "$top/tests/support/staging_holder.sh"
trap 'release_staging; sim_stop; rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

advisors=(11111 22222 33333 44444 55555 66666 77777 88888)
provider=$work/provider
: >"$work/accounts"
for i in "${!advisors[@]}"; do
  "$bin/kxgen" --out "$provider/${advisors[$i]}" --customers $((20 + 10 * i)) --seed $((i + 1)) >/dev/null
  printf '%s;pin-%s\n' "${advisors[$i]}" "${advisors[$i]}" >>"$work/accounts"
done
"$bin/kxgen" --out "$provider/99999" --customers 300 --seed 9 >/dev/null  # the one killed in its load
printf '99999;pin-99999\n' >>"$work/accounts"
mv "$work/accounts" "$provider/accounts.txt"
sim_start "$bin/kxprovider" "$provider" || fail "no simulator"

# The shared database, in a folder the server's user may write.
install -d -o firebird -g firebird -m 2770 "$work/server"
database="localhost:$work/server/KXDB.IDB"
"$bin/kxdb" create "$database" >/dev/null
# The same database opened by the engine in the process (a path without a host).
embedded=$work/embedded/KXDB.IDB
mkdir "$work/embedded"
"$bin/kxdb" create "$embedded" >/dev/null
# settings FILE TIMEOUT [DATABASE]: the one settings text of every workstation.
settings() {
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"DownloadSrvUrl"="http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n"ImportDB"="%s"\r\n"Timeout"="%s"\r\n' \
    "$SIM_PORT" "${3:-$database}" "$2" >"$1"
}
settings "$work/settings.reg" 120
settings "$work/short.reg" 2
settings "$work/embedded.reg" 2 "$embedded"

# run_import HOST LOGIN [kximport options]: that workstation's run of that advisor; output in
# $work/HOST.out and .err. A workstation is its own output folder and data directory (maps only).
run_import() {
  local at=$1 login=$2
  shift 2
  mkdir -p "$work/$at/xml_temp" "$work/$at/KORVALIX"
  cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$work/$at/KORVALIX/"
  local prefix=
  [ "$BASHPID" = "$$" ] || prefix=exec # started with &: $! is then kximport itself
  $prefix "$bin/kximport" --settings "${run_settings:-$work/settings.reg}" --output-dir "$work/$at/xml_temp" --advisor "BR-$login" \
    --login "$login" --pin "pin-$login" --no-message-boxes "$@" >"$work/$at.out" 2>"$work/$at.err"
}
# start_import HOST LOGIN [options]: run_import in the background, its pid in $started; earlier
# output goes first, so that no line of an earlier run is taken for one of this run.
start_import() {
  rm -f "$work/$1.out" "$work/$1.err"
  run_import "$@" &
  started=$!
}
# The document without its date.
content() { grep -v '<I_Datum>' "$1"; }
same_as_alone() {
  grep -q '<K_ExtRef>' "$work/alone-$2/xml_temp/KORVALIX.XML" || fail "$2's document alone holds no customer"
  diff <(content "$work/alone-$2/xml_temp/KORVALIX.XML") <(content "$work/$1/xml_temp/KORVALIX.XML") >/dev/null
}
staged() { echo "select count(*) from $1;" | isql-fb -q -u SYSDBA -p fennoclax "$database" | awk 'NF { n = $1 } END { print n }'; }
# Waits up to 30 s for a line matching PATTERN in FILE.
await_line() {
  local i
  for i in $(seq 300); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no line '$2' in $1: $(cat "$1" "${1%.out}.err" 2>/dev/null)"
}
echo "== each advisor alone, one after another"
start=$(date +%s.%N)
for login in "${advisors[@]}"; do
  run_import "alone-$login" "$login" || fail "$login alone: $(cat "$work/alone-$login.err")"
done
alone=$(echo "$(date +%s.%N) - $start" | bc)
run_import alone-99999 99999 || fail "99999 alone: $(cat "$work/alone-99999.err")"

echo "== eight advisors on eight workstations at once"
start=$(date +%s.%N)
pids=()
for login in "${advisors[@]}"; do
  start_import "ws-$login" "$login"
  pids+=("$started")
done
for i in "${!advisors[@]}"; do
  got=0
  wait "${pids[$i]}" || got=$?
  [ "$got" -eq 0 ] || fail "${advisors[$i]} together exited with $got: $(cat "$work/ws-${advisors[$i]}.err")"
  same_as_alone "ws-${advisors[$i]}" "${advisors[$i]}" || fail "${advisors[$i]}'s document is not its own"
done
together=$(echo "$(date +%s.%N) - $start" | bc)
waited=$(grep -l 'Die Staging-Datenbank wird gerade von einem anderen Import benutzt' "$work"/ws-*.out | wc -l)
echo "eight runs together: ${together} s; the same eight alone one after another: ${alone} s; ${waited} of them waited"

echo "== a run killed in its load, while another waits for it"
start_import ws-99999 99999
killed=$started
await_line "$work/ws-99999.out" 'Import .*transaktionsdaten.csv'
kill -STOP "$killed"  # held in its load until the other run waits for it
start_import ws-11111 11111
waiting=$started
await_line "$work/ws-11111.out" 'Die Staging-Datenbank wird gerade'
kill -KILL "$killed"
wait "$killed" || true
got=0
wait "$waiting" || got=$?
[ "$got" -eq 0 ] || fail "the run waiting for the killed one exited with $got: $(cat "$work/ws-11111.err")"
same_as_alone ws-11111 11111 || fail "after the killed run the next document is not its own"
run_import ws-99999 99999 || fail "the killed advisor's next run: $(cat "$work/ws-99999.err")"
same_as_alone ws-99999 99999 || fail "the killed advisor's next document is not its own"

echo "== a run that finds the database held: it waits, ends on Ctrl+C or at its time-out"
rows=$(staged TRANSAKTIONEN)
cp "$work/ws-99999/xml_temp/KORVALIX.XML" "$work/before.xml"
# case: how the held database ends the wait | exit status | the line
while IFS='|' read -r case status line; do
  case $case in
    time-out) held=$database reg=$work/short.reg options=() ;;
    embedded) held=$embedded reg=$work/embedded.reg options=(--embedded-server) ;;
    *) held=$database reg=$work/settings.reg options=() ;;
  esac
  hold_staging "$held" "$work" || fail "no holder"
  run_settings=$reg start_import ws-99999 99999 "${options[@]}"
  run=$started
  await_line "$work/ws-99999.out" 'Die Staging-Datenbank wird gerade von einem anderen Import benutzt'
  [ "$case" != ctrl-c ] || kill -INT "$run"
  [ "$case" != released ] || release_staging
  got=0
  wait "$run" || got=$?
  [ "$got" -eq "$status" ] || fail "$case: exit $got, not $status: $(cat "$work/ws-99999.err")"
  grep -qF "$line" "$work/ws-99999.err" "$work/ws-99999.out" || fail "$case: no line '$line': $(cat "$work/ws-99999.err")"
  release_staging
  if [ "$case" != released ]; then
    [ "$(staged TRANSAKTIONEN)" = "$rows" ] || fail "$case: the staging tables changed"
    cmp -s "$work/before.xml" "$work/ws-99999/xml_temp/KORVALIX.XML" || fail "$case: the document changed"
  fi
done <<EOF
released|0|Import $work/ws-99999/KORVALIX/transaktionsdaten.csv
ctrl-c|130|Abgebrochen (Strg+C) beim Warten auf die Staging-Datenbank
time-out|1|Die Staging-Datenbank $database war 2 Sekunden lang von einem anderen Import oder Programm belegt
embedded|1|Die Staging-Datenbank $embedded war 2 Sekunden lang von einem anderen Import oder Programm belegt
EOF
echo "PASS"
