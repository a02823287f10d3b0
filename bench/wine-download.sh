#!/usr/bin/env bash
# The download of the DLL's WinInet transport under Wine against curl, both over the provider
# simulator's plain HTTP listener (Wine's WinInet does not take the simulator's test CA), on the
# same data in the same run: both provider files, twice each, the clients taking turns.
# Usage (make linux and the DLL builds done):
#   bench/wine-download.sh BUILD_ROOT [--large]
#     BUILD_ROOT  the folder holding linux/ (kxgen, kxprovider), win64/ and, where 32-bit Wine
#                 runs, win32/ (kxdownload_win.exe)
#     --large     the large benchmark set (10,000 customers); without it a tenth of it
# Each time is taken inside its program (kxdownload_win's elapsed-us around DownloadUrl, curl's
# time_total), so Wine's start-up counts for neither. Prints every download, then one RESULT line
# per DLL width: the best of the two runs of each file, summed over both files, and the same
# after the head of the answer (the simulator's time to its first byte is in both totals).
set -Eeuo pipefail
trap 'echo "wine-download: line $LINENO failed: $BASH_COMMAND" >&2' ERR
usage="usage: wine-download.sh BUILD_ROOT [--large]"
build=$(realpath "${1:?$usage}")
customers=1000
case ${2:-} in
  --large) customers=10000 ;;
  "") ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)
linux=$build/linux/bin
for file in "$linux/kxgen" "$linux/kxprovider" "$build/win64/bin/kxdownload_win.exe" /usr/lib/wine/wine64; do
  [ -e "$file" ] || { echo "wine-download: $file is missing (make linux win64)" >&2; exit 1; }
done
widths=64
if [ -e "$build/win32/bin/kxdownload_win.exe" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  widths="64 32"
else
  echo "wine-download: the 32-bit DLL is left out (no build/win32 or no 32-bit Wine that runs here)"
fi
# shellcheck source-path=SCRIPTDIR source=../tests/support/provider_simulator.sh
. "$top/tests/support/provider_simulator.sh"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY DISPLAY WAYLAND_DISPLAY

# The data and the downloads in memory where the machine has /dev/shm (a disk's write times vary
# more than the differences measured), the Wine prefixes on disk.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d "$shm/kxwinedl.XXXXXX")
prefixes=$(mktemp -d "${TMPDIR:-/tmp}/kxwinedl-prefix.XXXXXX")
stop_wine() {
  local width
  for width in $widths; do
    WINEPREFIX=$prefixes/$width wineserver -k 2>/dev/null || true
  done
}
trap 'sim_stop; stop_wine; rm -rf "$work" "$prefixes"' EXIT
trap 'exit 1' HUP INT TERM

"$linux/kxgen" --out "$work/data/12345" --customers "$customers" --depots-per-customer 2.5 \
  --positions-per-depot 4 --transactions-per-position 10 --unassigned-depots 0 >/dev/null
printf '12345;geheim\n' >"$work/data/accounts.txt"
holdings=$work/data/12345/bestandsdaten.csv
transactions=$work/data/12345/transaktionsdaten.csv
echo "data: $customers customers, holdings $(wc -c <"$holdings") bytes, transactions $(wc -c <"$transactions") bytes"
sim_start "$linux/kxprovider" "$work/data"
url_of() {
  printf 'http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php?params=%s' "$SIM_PORT" \
    "$("$linux/kxprovider" --encode "$1")"
}
declare -A url source
url[holdings]=$(url_of "version=2;file=bestaende;loginid=12345;pin=geheim;")
url[transactions]=$(url_of "version=2;file=transaktionen;loginid=12345;pin=geheim;startid=0;startid2=0;reimport=1")
source[holdings]=$holdings
source[transactions]=$transactions

wine_of() { [ "$1" = 64 ] && echo /usr/lib/wine/wine64 || echo /usr/lib/wine/wine; }
in_prefix() {  # WIDTH COMMAND...: runs the command with that width's prefix
  local width=$1
  shift
  WINEPREFIX=$prefixes/$width WINEARCH=win$width WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= "$@"
}
for width in $widths; do
  in_prefix "$width" "$(wine_of "$width")" wineboot -i >/dev/null 2>&1
  in_prefix "$width" wineserver -w
  in_prefix "$width" wineserver -p  # kept running between the downloads, stopped on the way out
done

# One line per download in $work/times: RUN FILE CLIENT TOTAL_US AFTER_HEAD_US PEAK_BYTES.
same_body() {  # WHAT FILE BODY
  cmp -s "$2" "$3" || { echo "wine-download: $1: the body differs from $(basename "$2")" >&2; exit 1; }
  rm -f "$3"
}
with_curl() {  # RUN FILE
  local out=$work/curl.body answer status start total
  answer=$(curl -s --noproxy '*' -o "$out" -w '%{http_code} %{time_starttransfer} %{time_total}' "${url[$2]}")
  read -r status start total <<<"$answer"
  [ "$status" = 200 ] || { echo "wine-download: curl $2: status $status" >&2; exit 1; }
  same_body "curl $2" "${source[$2]}" "$out"
  awk -v r="$1" -v f="$2" -v s="$start" -v t="$total" \
    'BEGIN { printf "%s %s curl %d %d 0\n", r, f, t * 1e6, (t - s) * 1e6 }' >>"$work/times"
}
field() { sed -nE "s/^(.* )?$1=([^ ]*).*\$/\\2/p" <<<"$2"; }  # KEY TEXT: a key=value of the text
with_wine() {  # RUN FILE WIDTH
  local out=$work/win$3.body answer elapsed
  answer=$(in_prefix "$3" "$(wine_of "$3")" "$build/win$3/bin/kxdownload_win.exe" "${url[$2]}" 300 \
    "Z:${out//\//\\}" 2>"$work/run$1-$2-win$3.err" | tr -d '\r')
  if [ "$(field result "$answer")" != 0 ]; then
    echo "wine-download: win$3 $2: $answer $(cat "$work/run$1-$2-win$3.err")" >&2
    exit 1
  fi
  same_body "win$3 $2" "${source[$2]}" "$out"
  elapsed=$(field elapsed-us "$answer")
  echo "$1 $2 win$3 $elapsed $((elapsed - $(field open-us "$answer"))) $(field peak-working-set "$answer")" \
    >>"$work/times"
}
for run in 1 2; do
  for file in holdings transactions; do
    with_curl "$run" "$file"
    for width in $widths; do with_wine "$run" "$file" "$width"; done
  done
done

awk '{ printf "run %s  %-12s %-5s %8.3f s  after the head %8.3f s\n", $1, $2, $3, $4 / 1e6, $5 / 1e6 }' "$work/times"
for width in $widths; do
  awk -v client="win$width" '
    $3 == client || $3 == "curl" {
      key = $2 SUBSEP $3
      if (!(key in total) || $4 < total[key]) total[key] = $4
      if (!(key in body) || $5 < body[key]) body[key] = $5
    }
    $3 == client && $6 > peak { peak = $6 }
    function sum(times, who) { return times["holdings", who] + times["transactions", who] }
    END {
      w = sum(total, client); c = sum(total, "curl"); wb = sum(body, client); cb = sum(body, "curl")
      printf "RESULT download (WinInet under Wine, %s): DownloadUrl/curl time %.2f (reported; %.3f s against %.3f s, best of 2 per file; after the head %.3f s against %.3f s = %.2f; peak working set %d MiB)\n",
        client, w / c, w / 1e6, c / 1e6, wb / 1e6, cb / 1e6, wb / cb, peak / 1048576
    }' "$work/times"
done
