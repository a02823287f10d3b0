#!/usr/bin/env bash
# Two advisors importing into one data directory through the DLL under Wine, in two processes:
# the second run, started while the first waits for its transactions file, is refused with the
# line naming the directory and -29 and touches nothing; the first completes with its own files.
#   wine_lock.sh WINE LINUX_BIN RUN_EXE DLL BRIDGE SOURCE_DIR
# As wine_run_db.sh: the Firebird server runs (the fixture starts it), run as root.
set -eu -o pipefail
wine=$1
linux_bin=$2
runner=$3
dll=$4
bridge=$5
source_dir=$6
: "${WINEPREFIX:?}"
# shellcheck source=../support/provider_simulator.sh
. "$(dirname "$0")/../support/provider_simulator.sh"
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwinelock.XXXXXX")
trap 'sim_stop; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

prepare_server_import "$linux_bin" "$source_dir" 4 "$runner" "$bridge"
"$linux_bin/kxgen" --out "$work/data/22222" --customers 4 --seed 4 >/dev/null
printf '22222;anders\n' >>"$work/data/accounts.txt"
sim_start "$linux_bin/kxprovider" "$work/data"
data_dir="$(timeout 30 "$wine" winepath -w "$work/abruf")\\"
wwork=$(timeout 30 "$wine" winepath -w "$work")
wdll=$(timeout 30 "$wine" winepath -w "$dll")
write_settings "$data_dir" "$database"

# run_as LOGIN PIN NAME: one advisor's follow-up import through kxrun_win: $work/NAME.out
run_as() {
  (
    cd "$work/bin"
    timeout 120 "$wine" "$work/bin/$(basename "$runner")" "--dll=$wdll" "--output=$wwork\\xml_temp" \
      "--advisor=$1" --last-import=1.0 EmbeddedIBServer=TRUE NoMessageBoxes=TRUE "UserLogin=$1" "Password=$2" \
      2>"$work/$3.err"
  ) | tr -d '\r' | uniq >"$work/$3.out" || true
}

sim_fault stall 0 1 # the first advisor's holdings as usual
sim_fault stall 8 1 # its transactions request waits
run_as 12345 geheim first &
first=$!
for _ in $(seq 300); do
  sim_log | grep -q 'login=12345 file=transaktionen' && break
  sleep 0.1
done
run_as 22222 anders second
check "the second run: its line and -29" \
  "$(printf '%s\n' "line 3 0 DataDir = $(printable "$data_dir")" \
    "line 4 0 Im Datenverzeichnis $(printable "$data_dir") l\\xE4uft bereits ein Import." "result=-29")" \
  "$(cat "$work/second.out")"
check "the second run asked the provider nothing" "" "$(sim_log | grep 'login=22222' || true)"
check "the first advisor's holdings file untouched" same \
  "$(cmp -s "$work/data/12345/bestandsdaten.csv" "$work/abruf/bestandsdaten.csv" && echo same || echo changed)"
wait "$first" || true
check "the first run completes" "result=0" "$(tail -n 1 "$work/first.out")"
for file in bestandsdaten.csv transaktionsdaten.csv; do
  check "$file is the first advisor's" same \
    "$(cmp -s "$work/data/12345/$file" "$work/abruf/$file" && echo same || echo changed)"
done
check "the document is written" yes "$([ -s "$work/xml_temp/KORVALIX.XML" ] && echo yes || echo no)"
finish
