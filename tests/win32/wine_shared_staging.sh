#!/usr/bin/env bash
# A workstation running the DLL under Wine and a Linux workstation running kximport share one
# staging database through the Firebird server, each with its own data directory and output
# folder. Both started while the database is held: each waits with its line, then both complete,
# one after the other, each with exactly the document it writes alone.
#   wine_shared_staging.sh WINE LINUX_BIN RUN_EXE DLL BRIDGE SOURCE_DIR
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
# shellcheck source=../support/staging_holder.sh
. "$(dirname "$0")/../support/staging_holder.sh"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwineshared.XXXXXX")
trap 'release_staging; sim_stop; rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM

prepare_server_import "$linux_bin" "$source_dir" 8 "$runner" "$bridge"
"$linux_bin/kxgen" --out "$work/data/22222" --customers 5 --seed 6 >/dev/null
printf '22222;anders\n' >>"$work/data/accounts.txt"
sim_start "$linux_bin/kxprovider" "$work/data"
data_dir="$(timeout 30 "$wine" winepath -w "$work/abruf")\\"
wwork=$(timeout 30 "$wine" winepath -w "$work")
wdll=$(timeout 30 "$wine" winepath -w "$dll")
write_settings "$data_dir" "$database"
# The Linux workstation: its own data directory beside its output folder, the same database.
mkdir -p "$work/linux/xml_temp" "$work/linux/KORVALIX"
cp "$source_dir"/install/BESTAND.txt "$source_dir"/install/TRANSAKT.txt "$source_dir"/install/DBSTARTIDS.txt \
  "$work/linux/KORVALIX/"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"DownloadSrvUrl"="http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n"ImportDB"="%s"\r\n' \
  "$SIM_PORT" "$database" >"$work/linux.reg"

# The DLL's run of advisor 12345: $work/NAME.out
dll_run() {
  (
    cd "$work/bin"
    timeout 120 "$wine" "$work/bin/$(basename "$runner")" "--dll=$wdll" "--output=$wwork\\xml_temp" \
      --advisor=12345 --last-import=1.0 EmbeddedIBServer=TRUE NoMessageBoxes=TRUE UserLogin=12345 \
      Password=geheim 2>"$work/$1.err"
  ) | tr -d '\r' | uniq >"$work/$1.out" || true
}
# kximport's run of advisor 22222: $work/NAME.out and .err
linux_run() {
  "$linux_bin/kximport" --settings "$work/linux.reg" --output-dir "$work/linux/xml_temp" --advisor BR-22222 \
    --login 22222 --pin anders --no-message-boxes >"$work/$1.out" 2>"$work/$1.err"
}
content() { grep -v '<I_Datum>' "$1" || true; }
waited() { grep -c 'Die Staging-Datenbank wird gerade von einem anderen Import benutzt' "$work/$1.out" || true; }

dll_run dll-alone
check "the DLL's run alone" "result=0" "$(tail -n 1 "$work/dll-alone.out")"
content "$work/xml_temp/KORVALIX.XML" >"$work/dll-alone.xml"
linux_run linux-alone || true
content "$work/linux/xml_temp/KORVALIX.XML" >"$work/linux-alone.xml"
# On a failure its output says where the run stopped, and what listens on the server's port.
server_port() {
  awk '$4 == "0A" && $2 ~ /:0BEA$/ { print FILENAME ": " $2 }' /proc/net/tcp /proc/net/tcp6
  (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null && echo "127.0.0.1:3050 accepts" || echo "127.0.0.1:3050 refuses"
}
check "the Linux run alone" "" "$(cat "$work/linux-alone.err")$([ -s "$work/linux-alone.err" ] &&
  { tail -n 15 "$work/linux-alone.out"; server_port; })"
check "both documents alone hold customers (DLL, Linux)" "yes yes" \
  "$(grep -q '<K_ExtRef>' "$work/dll-alone.xml" && echo yes) $(grep -q '<K_ExtRef>' "$work/linux-alone.xml" && echo yes)"

hold_staging "$database" "$work" || exit 1
sim_reset
dll_run dll-shared &
dll=$!
linux_run linux-shared &
linux=$!
# Both have their transactions file and wait; kximport says so at once.
for _ in $(seq 600); do
  [ "$(sim_log | grep -c 'file=transaktionen')" -ge 2 ] && [ "$(waited linux-shared)" -ge 1 ] && break
  sleep 0.1
done
sleep 1
release_staging
wait "$dll" || true
linux_status=0
wait "$linux" || linux_status=$?

check "both waited for the held database (DLL, Linux)" "1 1" "$(waited dll-shared) $(waited linux-shared)"
check "the DLL's run completes" "result=0" "$(tail -n 1 "$work/dll-shared.out")"
check "the Linux run completes" "0" "$linux_status"
check "the DLL's document is its own" same \
  "$(content "$work/xml_temp/KORVALIX.XML" | cmp -s - "$work/dll-alone.xml" && echo same || echo mixed)"
check "the Linux document is its own" same \
  "$(content "$work/linux/xml_temp/KORVALIX.XML" | cmp -s - "$work/linux-alone.xml" && echo same || echo mixed)"
finish
