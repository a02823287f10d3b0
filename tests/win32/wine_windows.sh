#!/usr/bin/env bash
# The library's windows under Wine, driven by kxwindows_win as a user drives them, inside a Wine
# virtual desktop on a private Xvfb display, with the provider simulator as service:
#   wine_windows.sh WINE SIMULATOR HOST_EXE DLL ARTEFACTS
# Screenshots of every window land in ARTEFACTS as PNG files. One line per check; exit code 0
# only when every check passed.
set -eu -o pipefail
wine=$1
simulator=$2
host=$3
dll=$4
artefacts=$5
: "${WINEPREFIX:?}"
# shellcheck source=../support/provider_simulator.sh
. "$(dirname "$0")/../support/provider_simulator.sh"
# shellcheck source=wine_run_support.sh
. "$(dirname "$0")/wine_run_support.sh"

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY  # Wine's WinInet would take a proxy from these

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwindows.XXXXXX")
xvfb_pid=
stop_all() {
  sim_stop
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 1' HUP INT TERM

# The login 777 has a holdings file of 1 MB (16 reads of 64 KiB: the progress window stays up a
# while) and no transactions file; the login 12345 is unknown.
mkdir -p "$work/data/777" "$work/abruf" "$work/bin" "$work/shots"
printf '777;geheim\n' >"$work/data/accounts.txt"
{
  printf 'VERBERNR;INHKDNR1;NAME\r\n'
  for i in $(seq 16384); do printf '4711;%08d;%-44s\r\n' "$i" Zeile; done
} >"$work/data/777/bestandsdaten.csv"
sim_start "$simulator" "$work/data"

# A display of our own: Xvfb picks a free number and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=$(head -n 1 "$work/display")
[ -n "$display" ] || { echo "FAIL Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }

data_dir="$(timeout 30 "$wine" winepath -w "$work/abruf")\\"
write_settings "$data_dir"
cp "$host" "$work/bin/"
host_path=$(timeout 30 "$wine" winepath -w "$work/bin/$(basename "$host")")
dll_path=$(timeout 30 "$wine" winepath -w "$dll")
shots_path=$(timeout 30 "$wine" winepath -w "$work/shots")

# explorer runs the program inside a desktop of its own name, drawn as one X window of 800x600
# with the frames and captions a user sees. It does not pass the program's exit code on: the
# program's summary line tells. Under emulation the time limit grows with the tests' scale.
limit=$((400 * ${KX_WINE_TIMEOUT_SCALE:-1}))
DISPLAY=":$display" timeout "$limit" "$wine" explorer "/desktop=kx$$,800x600" "$host_path" "--dll=$dll_path" \
  "--data-dir=$data_dir" "--shots=$shots_path" 2>"$work/host.err" | tr -d '\r' | tee "$work/host.out" || true
summary=$(grep -E '^[0-9]+ checks, [0-9]+ failed$' "$work/host.out" || echo "no summary")
check "the window host's checks" "0 failed" "${summary#* checks, }"

check "the PIN as typed, the notices' runs, the two progress runs, then the progress layout's run reach the provider" "$(printf '%s\n' \
  "login=12345 file=bestaende startid= startid2= reimport= pin= 12 " \
  "login=12345 file=bestaende startid= startid2= reimport= pin=x" \
  "login=12345 file=bestaende startid= startid2= reimport= pin=notice" \
  "login=12345 file=bestaende startid= startid2= reimport= pin=notice" \
  "login=777 file=bestaende startid= startid2= reimport= pin=geheim" \
  "login=777 file=bestaende startid= startid2= reimport= pin=geheim" \
  "login=777 file=transaktionen startid=0 startid2=0 reimport=0 pin=geheim" \
  "login=777 file=bestaende startid= startid2= reimport= pin=geheim")" "$(sim_log)"
if cmp -s "$work/data/777/bestandsdaten.csv" "$work/abruf/bestandsdaten.csv"; then
  check "the holdings file after the close box, byte-identical" same same
else
  check "the holdings file after the close box, byte-identical" same differs
fi

mkdir -p "$artefacts"
for name in pin-prompt notice progress-running progress-cancelling access-data; do
  if [ -f "$work/shots/$name.bmp" ] && convert "$work/shots/$name.bmp" "$artefacts/$name.png"; then
    check "screenshot" "$artefacts/$name.png" "$artefacts/$name.png"
  else
    check "screenshot" "$artefacts/$name.png" "missing"
  fi
done
finish
