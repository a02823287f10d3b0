#!/usr/bin/env bash
# A kximport run as its user meets it: Ctrl+C at four moments, failures with their cause on the
# console, and what the load dropped. The provider simulator over HTTP, an embedded database.
# Usage: kximport_run_test.sh BUILD_BIN_DIR SOURCE_DIR
set -euo pipefail

bin=${1:?usage: kximport_run_test.sh BUILD_BIN_DIR SOURCE_DIR}
top=${2:?usage: kximport_run_test.sh BUILD_BIN_DIR SOURCE_DIR}
# A Ctrl+C ends the run within a second; programs under ThreadSanitizer take longer to exit
# (make test-tsan sets KX_INTERRUPT_LIMIT_MS).
interrupt_limit=${KX_INTERRUPT_LIMIT_MS:-1000}
work=$(mktemp -d "${TMPDIR:-/tmp}/kximport-run-XXXXXX")
# shellcheck source=../support/provider_simulator.sh
. "$top/tests/support/provider_simulator.sh"
tls=
trap 'sim_stop; [ -z "$tls" ] || kill "$tls" 2>/dev/null || true; rm -rf "$work"' EXIT
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
failures=0

fail() {
  echo "FAIL: $*" >&2
  sed 's/^/  stdout: /' "$work/out" >&2 2>/dev/null || true
  sed 's/^/  stderr: /' "$work/err" >&2 2>/dev/null || true
  failures=$((failures + 1))
}

host=$work/host
data=$host/KORVALIX
mkdir -p "$host/xml_temp" "$data" "$work/provider/12345"
cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$data/"
"$bin/kxdb" create "$data/KXDB.IDB" >/dev/null
# Enough data that the load and the document each last a few hundred milliseconds at least.
"$bin/kxgen" --out "$work/provider/12345" --customers 1500 --seed 7 >/dev/null
echo "12345;geheim" >"$work/provider/accounts.txt"
sim_start "$bin/kxprovider" "$work/provider" || exit 1
settings() {  # settings URL [more lines]: the settings file of this host
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"DownloadSrvUrl"="%s"\r\n"ImportDB"="./KXDB.IDB"\r\n' "$1"
  shift
  printf '%s\r\n' "$@"
}
url=http://127.0.0.1:$SIM_PORT/modules/tavo/onlinedatatransfer.php
settings "$url" >"$work/sim.reg"
run() {  # run [options]: one import into the host, output in $work/out and $work/err
  "$bin/kximport" --settings "$work/sim.reg" --output-dir "$host/xml_temp" --login 12345 --pin geheim \
    --embedded-server --no-message-boxes "$@" >"$work/out" 2>"$work/err"
}

echo "== the earlier document (nothing dropped: --strict keeps 0, no line about dropped data)"
run --strict || fail "the first import failed"
! grep -q 'Nicht übernommen' "$work/out" || fail "a complete import reports dropped data"
cp "$host/xml_temp/KORVALIX.XML" "$work/earlier.xml"
# The earlier provider files differ from what the provider sends now, so that a file put back
# is told from one that was never replaced, or replaced by the same bytes.
for file in bestandsdaten transaktionsdaten; do
  { cat "$data/$file.csv" && printf 'earlier\r\n'; } >"$work/earlier-$file.csv"
done

echo "== Ctrl+C: one case per line: moment, simulator faults (one per request), when (timeout's seconds, or the output line that starts the moment), the line"
while IFS='|' read -r moment faults when said; do
  sim_reset
  IFS=';' read -ra queued <<<"$faults"
  # shellcheck disable=SC2086 # a fault is mode and value
  for fault in "${queued[@]}"; do sim_fault $fault; done
  for file in bestandsdaten transaktionsdaten; do
    rm -f "$data/$file.csv" && cp "$work/earlier-$file.csv" "$data/$file.csv"
  done
  seconds=0 && [[ ! $when =~ ^[0-9]+$ ]] || seconds=$when
  import=("$bin/kximport" --settings "$work/sim.reg" --output-dir "$host/xml_temp" --login 12345 --pin geheim
    --embedded-server --no-message-boxes --last-import 1)
  if [ "$seconds" -gt 0 ]; then
    # timeout(1) sends SIGINT to kximport and then to its own process group: kximport gets it twice.
    timeout --preserve-status -s INT "${seconds}s" "${import[@]}" >"$work/out" 2>"$work/err" &
    importer=$!
    start=$(($(date +%s%N) + seconds * 1000000000))
  else
    "${import[@]}" >"$work/out" 2>"$work/err" &
    importer=$!
    for _ in $(seq 600); do grep -q "$when" "$work/out" && break; sleep 0.02; done
    start=$(date +%s%N)
    kill -INT "$importer"
  fi
  got=0
  wait "$importer" || got=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  [ "$got" -eq 130 ] || fail "$moment: exit $got, expected 130"
  [ "$ms" -lt "$interrupt_limit" ] || fail "$moment: ended $ms ms after Ctrl+C"
  grep -q "$said" "$work/err" || fail "$moment: no line '$said'"
  [ "$(grep -c 'Abgebrochen' "$work/err")" -eq 1 ] || fail "$moment: not exactly one line of what was interrupted"
  cmp -s "$work/earlier.xml" "$host/xml_temp/KORVALIX.XML" || fail "$moment: the earlier document changed"
  for file in bestandsdaten transaktionsdaten; do
    cmp -s "$work/earlier-$file.csv" "$data/$file.csv" || fail "$moment: $file.csv is not the earlier one"
  done
  ! ls "$data"/*.kx* "$host/xml_temp"/*.kx* >/dev/null 2>&1 || fail "$moment: a temporary or kept file is left"
  echo "   $moment: $ms ms"
done <<'CASES'
answer|stall 30|2|bevor der Anbieter geantwortet hat; die bisherigen Dateien des Anbieters und KORVALIX.XML bleiben
second answer|stall 0;stall 30|2|bevor der Anbieter die zweite Anfrage beantwortet hat; bestandsdaten.csv ist wieder wie vor dem Lauf
transfer|stall-body 30|2|während der Übertragung von bestandsdaten.csv; die bisherigen Dateien des Anbieters
second transfer|stall 0;stall-body 30|2|während der Übertragung von transaktionsdaten.csv; bestandsdaten.csv ist wieder
load||Import .*transaktionsdaten|beim Laden in die Staging-Datenbank; bestandsdaten.csv und transaktionsdaten.csv sind wieder
document||Erstelle XML-Datei|beim Schreiben von KORVALIX.XML; bestandsdaten.csv und transaktionsdaten.csv sind wieder
CASES
sim_reset

echo "== failures with their cause: case, settings, output folder (empty: the host's), options, what stderr must say (each pattern)"
sim_free_port "$bin/kxprovider"
settings "http://127.0.0.1:$KX_FREE_PORT/x.php" >"$work/refused.reg"
"$bin/kxprovider" --data "$work/provider" --https-port 0 --cert-dir "$work/certs" --port-file "$work/tls-ports" \
  --die-with-parent >/dev/null 2>&1 &
tls=$!
for _ in $(seq 150); do grep -qx ready "$work/tls-ports" 2>/dev/null && break; sleep 0.1; done
settings "https://127.0.0.1:$(awk '$1 == "https-port" {print $2}' "$work/tls-ports")/x.php" >"$work/untrusted.reg"
settings "$url" '"ImportDB"="./MISSING.IDB"' | sed '/KXDB.IDB/d' >"$work/nodb.reg"
settings "$url" '"Timeout"=dword:0000003c' >"$work/dword.reg"
mkdir -p "$work/nomaps/xml_temp" "$work/nomaps/KORVALIX"
while IFS='|' read -r case reg folder options patterns; do
  got=0
  sim_reset
  # shellcheck disable=SC2086 # the options are words
  setsid -w "$bin/kximport" --settings "$reg" --output-dir "${folder:-$host/xml_temp}" --embedded-server \
    --no-message-boxes $options >"$work/out" 2>"$work/err" </dev/null || got=$?
  [ "$got" -eq 1 ] || fail "$case: exit $got, expected 1"
  IFS=';' read -ra wanted <<<"$patterns"
  for pattern in "${wanted[@]}"; do grep -q -- "$pattern" "$work/err" || fail "$case: no '$pattern'"; done
  [[ $patterns != *"nichts heruntergeladen"* ]] || [ -z "$(sim_log)" ] || fail "$case: the provider was asked"
done <<CASES
a value that stops the settings|$work/dword.reg||--login 12345 --pin geheim|bricht bei Timeout ab;eingebaute Beispieladresse;Ergebnis -3;provider.example
connection refused|$work/refused.reg||--login 12345 --pin geheim|Ergebnis -3;Failed to connect\|Connection refused\|Verbindung;→ kximport check
untrusted certificate|$work/untrusted.reg||--login 12345 --pin geheim|Ergebnis -3;certificate\|Zertifikat;→ kximport check
database missing|$work/nodb.reg||--login 12345 --pin geheim|Ergebnis -29;MISSING.IDB;→ kximport check
output folder missing|$work/sim.reg|$work/gone|--login 12345 --pin geheim|nichts heruntergeladen;Ordner der Importdatei $work/gone fehlt
output folder a file|$work/sim.reg|$work/sim.reg|--login 12345 --pin geheim|nichts heruntergeladen;Ordner der Importdatei $work/sim.reg ist kein Ordner
no login|$work/sim.reg|||Ergebnis -12;--login
no PIN, no terminal|$work/sim.reg||--login 12345|Ergebnis -15;ohne Terminal;--pin-file;KX_PIN
CASES
# At a terminal (a pseudo-terminal of script(1)) an empty answer to the PIN prompt is no PIN entered.
got=0
(sleep 1 && printf '\n') | timeout 60 script -qec "$bin/kximport --settings $work/sim.reg --output-dir $host/xml_temp \
  --login 12345 --embedded-server --no-message-boxes" /dev/null >"$work/out" 2>&1 || got=$?
[ "$got" -eq 1 ] && grep -q 'Keine PIN eingegeben' "$work/out" || fail "an empty PIN at the terminal: exit $got"
# Without maps the run stops before it asks the provider anything.
sim_reset
got=0
"$bin/kximport" --settings "$work/sim.reg" --output-dir "$work/nomaps/xml_temp" --login 12345 --pin geheim \
  --embedded-server --no-message-boxes >"$work/out" 2>"$work/err" || got=$?
[ "$got" -eq 1 ] && grep -q 'BESTAND.txt' "$work/err" && grep -q 'nichts heruntergeladen' "$work/err" ||
  fail "missing maps: exit $got"
[ -z "$(sim_log)" ] && [ ! -e "$work/nomaps/KORVALIX/bestandsdaten.csv" ] || fail "missing maps: the provider was asked"
# A map line the load would refuse (a blank before the column's name) stops the run as early.
cp "$data"/*.txt "$work/nomaps/KORVALIX/"
sed -i '1s/^/ /' "$work/nomaps/KORVALIX/BESTAND.txt"
got=0
"$bin/kximport" --settings "$work/sim.reg" --output-dir "$work/nomaps/xml_temp" --login 12345 --pin geheim \
  --embedded-server --no-message-boxes >"$work/out" 2>"$work/err" || got=$?
[ "$got" -eq 1 ] && grep -q 'BESTAND.txt, Zeile 1: Spalte " VERBERNR"' "$work/err" && [ -z "$(sim_log)" ] ||
  fail "a map line the load refuses: exit $got, $(cat "$work/err")"

echo "== what the load dropped: one refused record, texts cut; --strict"
"$bin/kxgen" --out "$work/provider/12345" --customers 5 --seed 3 --duplicate-traid --overlong >/dev/null
for strict in '' --strict; do
  got=0
  run --last-import 1 $strict || got=$?
  want=0 && [ -z "$strict" ] || want=3
  [ "$got" -eq "$want" ] || fail "dropped data $strict: exit $got, expected $want"
  grep -q "^Nicht übernommen aus transaktionsdaten.csv: 1 Datensatz abgewiesen ($data/tra_error.log)" "$work/out" ||
    fail "dropped data $strict: no refused record counted"
  grep -q "^Nicht übernommen aus bestandsdaten.csv: [0-9]* Texte auf ihre Spalte gekürzt" "$work/out" ||
    fail "dropped data $strict: no cut texts counted"
done

echo "== an answer without records (an HTML page for the holdings): the document as it comes, and a line that says so"
sim_reset
sim_fault answer '%3Chtml%3E%3Cbody%3EWartung%3C%2Fbody%3E%3C%2Fhtml%3E'
run --last-import 1 || fail "an HTML answer: the import failed"
grep -q "^Die Antwort des Anbieters enthielt keine" "$work/out" && grep -qF "→ kximport check --data $data" "$work/out" ||
  fail "an HTML answer: no line that the answer held no records"
sim_reset

echo "== the summary in the locale's language, balance entries counted apart: locale, its words, the other's"
while IFS='|' read -r locale holds lacks; do
  LANG=$locale run --summary || fail "summary $locale: the import failed"
  IFS=';' read -ra wanted <<<"$holds"
  for pattern in "${wanted[@]}"; do grep -q -- "$pattern" "$work/out" || fail "summary $locale: no '$pattern'"; done
  IFS=';' read -ra unwanted <<<"$lacks"
  for word in "${unwanted[@]}"; do ! grep -qw -- "$word" "$work/out" || fail "summary $locale: '$word'"; done
  counted=$(awk '$1 ~ /^(Transaktionen|transactions|Bestandsbuchungen|balance)$/ {n += $NF} END {print n + 0}' "$work/out")
  [ "$counted" -eq "$(grep -o '<DepotTrans>' "$host/xml_temp/KORVALIX.XML" | wc -l)" ] ||
    fail "summary $locale: $counted transactions and balance entries, the document holds another number"
done <<'CASES'
de_DE.UTF-8|^Importdatei: ;^  Kunden  ;^  Bestandsbuchungen  ;^Schritte:;Import abgeschlossen|customers;transactions;Stages;completed
en_GB.UTF-8|^Import file: ;^  customers  ;^  balance entries  ;^Stages:;Import completed|Importdatei;Kunden;Schritte;abgeschlossen
CASES

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo PASS
