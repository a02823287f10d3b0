#!/usr/bin/env bash
# kximport as a user runs it: the demo (simulator over HTTPS, embedded database, a first and a
# follow-up import) in a scratch folder, then the command line's exit statuses.
# Usage: kximport_test.sh BUILD_BIN_DIR SOURCE_DIR
set -euo pipefail

bin=${1:?usage: kximport_test.sh BUILD_BIN_DIR SOURCE_DIR}
top=${2:?usage: kximport_test.sh BUILD_BIN_DIR SOURCE_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/kximport-test-XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Runs a command and checks its exit status: expect STATUS COMMAND...
expect() {
  local want=$1 got=0
  shift
  "$@" >"$work/out" 2>"$work/err" || got=$?
  [ "$got" -eq "$want" ] || {
    sed 's/^/  stdout: /' "$work/out" >&2
    sed 's/^/  stderr: /' "$work/err" >&2
    fail "$* exited with $got, expected $want"
  }
}

echo "== the demo, with a few customers"
demo=$work/demo
expect 0 env BUILD_DIR="$(dirname "$bin")" DEMO_DIR="$demo" DEMO_CUSTOMERS=25 bash "$top/scripts/demo.sh"
cp "$work/out" "$work/demo.out"
grep -q '^\[100%\] Import abgeschlossen\.' "$work/demo.out" || fail "no completed import in the demo's output"
for file in bestandsdaten.csv transaktionsdaten.csv; do
  cmp -s "$demo/provider/demo/$file" "$demo/host/KORVALIX/$file" ||
    fail "$file in the data directory differs from what the simulator served"
done
for document in KORVALIX-first.XML KORVALIX.XML; do
  xmllint --noout --schema "$top/install/KORVALIX.xsd" "$demo/host/xml_temp/$document" 2>"$work/xmllint" ||
    { cat "$work/xmllint" >&2; fail "$document does not validate"; }
done
# The follow-up request carries the start ids that the first document ended with.
first=$demo/host/xml_temp/KORVALIX-first.XML
id1=$(sed -n 's/.*<PARAM>startid1=\([^<]*\)<\/PARAM>.*/\1/p' "$first")
id2=$(sed -n 's/.*<PARAM>startid2=\([^<]*\)<\/PARAM>.*/\1/p' "$first")
first_ids="startid=$id1 startid2=$id2"
[ -n "$id1" ] && [ -n "$id2" ] || fail "no start ids in the first document"
tail -n 1 "$demo/provider-requests.log" | grep -q "file=transaktionen $first_ids reimport=0 " ||
  fail "the follow-up request does not continue from $first_ids: $(tail -n 1 "$demo/provider-requests.log")"

echo "== exit statuses"
expect 0 "$bin/kximport" --help
grep -q '^Beispiel:' "$work/out" || fail "--help shows no example"
expect 2 "$bin/kximport" --advisor X
grep -q 'output-dir' "$work/err" || fail "a missing --output-dir is not named: $(cat "$work/err")"
expect 2 "$bin/kximport" --output-dir "$work" --no-such-option
expect 2 "$bin/kximport" --output-dir "$work" --library "$work/missing.so"
printf '<KORVALIX><Import><I_CustomData><PARAM>startid1=&#abc;</PARAM>' >"$work/broken.xml"
expect 2 "$bin/kximport" --output-dir "$work" --continue-from "$work/broken.xml"
grep -q 'broken.xml:1:.*kein wohlgeformtes' "$work/err" || fail "a broken previous document: $(cat "$work/err")"
# A failing run: the code and its German text on standard error, nothing on the bar's 100 %.
# The settings file holds no key: the library's defaults.
printf 'REGEDIT4\r\n' >"$work/none.reg"
expect 1 "$bin/kximport" --output-dir "$work" --no-options --settings "$work/none.reg"
grep -q 'Ergebnis -11' "$work/err" || fail "the result code is not printed: $(cat "$work/err")"
[ "$(wc -l <"$work/err")" -ge 2 ] || fail "the result's message text is missing: $(cat "$work/err")"
! grep -q '100%' "$work/out" || fail "a failed run reached 100 %"
expect 1 "$bin/kximport" --output-dir "$work" --embedded-server --settings "$work/none.reg"
grep -q 'Ergebnis -12' "$work/err" || fail "a run without login does not end with -12: $(cat "$work/err")"
# Without a terminal nobody can answer the PIN prompt: it counts as cancelled.
expect 1 setsid -w "$bin/kximport" --output-dir "$work" --embedded-server --login L --settings "$work/none.reg" </dev/null
grep -q 'Ergebnis -15' "$work/err" || fail "a PIN prompt without a terminal does not end with -15: $(cat "$work/err")"

echo "== Ctrl+C during the download"
# The download stands still in the middle of the holdings file; SIGINT there is the progress
# window's cancel button: the run ends cancelled (exit 130), and no provider file is written.
# shellcheck source=../support/provider_simulator.sh
. "$top/tests/support/provider_simulator.sh"
make_provider_files "$work/ctrlc" 12345 geheim
sim_start "$bin/kxprovider" "$work/ctrlc" || fail "no simulator"
trap 'sim_stop; rm -rf "$work"' EXIT
sim_fault stall-body 4
mkdir -p "$work/ctrlc-host/xml_temp" "$work/ctrlc-host/KORVALIX"
cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$work/ctrlc-host/KORVALIX/"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"DownloadSrvUrl"="http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n' \
  "$SIM_PORT" >"$work/ctrlc.reg"
"$bin/kximport" --settings "$work/ctrlc.reg" --output-dir "$work/ctrlc-host/xml_temp" --login 12345 --pin geheim \
  --embedded-server --no-message-boxes >"$work/out" 2>"$work/err" &
importer=$!
sleep 1.5
kill -INT "$importer"
got=0
wait "$importer" || got=$?
[ "$got" -eq 130 ] || fail "Ctrl+C during the download exited with $got: $(cat "$work/err")"
grep -q 'während der Übertragung' "$work/err" || fail "Ctrl+C during the download is not the cancel: $(cat "$work/err")"
[ ! -e "$work/ctrlc-host/KORVALIX/bestandsdaten.csv" ] || fail "a cancelled download left a provider file"

echo "== the PIN from a file, standard input or KX_PIN; a result the library has no text for"
sim_reset
"$bin/kxdb" create "$work/ctrlc-host/KORVALIX/KXDB.IDB" >/dev/null
printf '"ImportDB"="./KXDB.IDB"\r\n' >>"$work/ctrlc.reg"
run_pin() {
  "$bin/kximport" --settings "$work/ctrlc.reg" --output-dir "$work/ctrlc-host/xml_temp" --login 12345 \
    --embedded-server --no-message-boxes "$@"
}
printf 'geheim\r\n' >"$work/pin"
printf 'falsch\n' >"$work/wrong-pin"
expect 0 run_pin --pin-file "$work/pin"
expect 0 run_pin --pin-file - <"$work/pin"
KX_PIN=geheim expect 0 run_pin
KX_PIN=geheim expect 1 run_pin --pin-file "$work/wrong-pin"  # the command line before the environment
grep -q 'Ergebnis -31' "$work/err" || fail "a wrong PIN from a file does not end with -31: $(cat "$work/err")"
expect 2 run_pin --pin-file "$work/missing-pin"
run_pin --help >"$work/help" && grep -q 'nur für Tests' "$work/help" || fail "--help does not say that --pin is for tests"
sim_fault answer "Fehler%2060%20-%20Clear-Reimport%20erforderlich" 2
KX_PIN=geheim expect 1 run_pin
grep -q 'Ergebnis -36' "$work/err" && grep -q 'erneut einen Clear-Reimport' "$work/err" ||
  fail "a repeated clear re-import demand has no explanation: $(cat "$work/err")"

echo "== on a terminal the bar shows the bytes of each transfer as they arrive"
"$bin/kxgen" --out "$work/ctrlc/12345" --customers 100 >/dev/null
sim_reset
sim_fault slow-body 1.5 2
KX_PIN=geheim timeout 60 script -qec "$bin/kximport --settings $work/ctrlc.reg --output-dir $work/ctrlc-host/xml_temp \
  --login 12345 --embedded-server --no-message-boxes" /dev/null >"$work/pty" || fail "the run on a terminal failed"
# Each drawing of the bar is one line; the counts of one transfer rise, the next transfer starts low.
tr '\r' '\n' <"$work/pty" | sed -n 's/.*Daten abrufen \.\.\. \([0-9,]*\) \(kB\|MiB\)$/\1 \2/p' | tr , . | uniq |
  awk '{ n = $2 == "MiB" ? $1 * 1024 : $1 } n < last { runs++ } { last = n; count[runs + 0]++ }
       END { print runs + 1, count[0], count[1] }' >"$work/counts"
read -r transfers first second <"$work/counts"
[ "$transfers" -eq 2 ] && [ "$first" -ge 3 ] && [ "${second:-0}" -ge 3 ] ||
  fail "no moving byte count in each of the two transfers ($transfers transfers, $first and $second counts)"
! "$bin/kximport" --settings "$work/ctrlc.reg" --output-dir "$work/ctrlc-host/xml_temp" --login 12345 \
  --embedded-server --no-message-boxes --pin geheim | grep -q ' kB\| MiB' || fail "byte counts on a pipe"
sim_stop

echo "== the access-data dialog"
# Without a terminal it counts as cancelled: 2, and the host's buffers stay as they were.
expect 0 setsid -w "$bin/kximport" access-data --user U1 --password geheim </dev/null
tr -d '\r' <"$work/out" | tr '\n' '|' | grep -q '^result 2|user "U1"|password "\*\*\*\*\*\*"|custom data "kximport"|$' ||
  fail "access-data without a terminal: $(cat "$work/out")"
# On a terminal (a pseudo-terminal from script): name, password, confirmation; the extra data come
# back empty. A "n" at the confirmation cancels.
answer() { printf '%s\n' "$@" | timeout 30 script -qec "$bin/kximport access-data --user alt --password pw" /dev/null | tr -d '\r'; }
answer neu geheim j | tr '\n' '|' | grep -q 'result 1|user "neu"|password "\*\*\*\*\*\*"|custom data ""|' ||
  fail "access-data confirmed on a terminal: $(answer neu geheim j)"
answer neu geheim n | tr '\n' '|' | grep -q 'result 2|user "alt"|password "\*\*"|custom data "kximport"|' ||
  fail "access-data cancelled on a terminal: $(answer neu geheim n)"
echo "PASS"
