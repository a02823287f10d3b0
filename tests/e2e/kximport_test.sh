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
grep -q '^Example:' "$work/out" || fail "--help shows no example"
expect 2 "$bin/kximport" --advisor X
grep -q 'output-dir' "$work/err" || fail "a missing --output-dir is not named: $(cat "$work/err")"
expect 2 "$bin/kximport" --output-dir "$work" --no-such-option
expect 2 "$bin/kximport" --output-dir "$work" --library "$work/missing.so"
# A failing run: the code and its German text on standard error, nothing on the bar's 100 %.
expect 1 "$bin/kximport" --output-dir "$work" --no-options --settings "$work/none.reg"
grep -q 'Ergebnis -11' "$work/err" || fail "the result code is not printed: $(cat "$work/err")"
[ "$(wc -l <"$work/err")" -ge 2 ] || fail "the result's message text is missing: $(cat "$work/err")"
! grep -q '100%' "$work/out" || fail "a failed run reached 100 %"
expect 1 "$bin/kximport" --output-dir "$work" --embedded-server --settings "$work/none.reg"
grep -q 'Ergebnis -12' "$work/err" || fail "a run without login does not end with -12: $(cat "$work/err")"
# Without a terminal nobody can answer the PIN prompt: it counts as cancelled.
expect 1 setsid -w "$bin/kximport" --output-dir "$work" --embedded-server --login L --settings "$work/none.reg" </dev/null
grep -q 'Ergebnis -15' "$work/err" || fail "a PIN prompt without a terminal does not end with -15: $(cat "$work/err")"
echo "PASS"
