#!/usr/bin/env bash
# The import as a user meets it, on this machine alone: a provider simulator over HTTPS with its
# own test CA, generated provider data, an embedded staging database, and two runs of the
# command-line host — a first import, then a follow-up that continues from its start ids.
# Run by `make demo` after the build; running it again starts from a clean demo folder. It leaves
# what a run by hand needs: the settings, the test CA, a PIN file, and demo/simulator.sh, which
# starts the simulator again on the port the settings name.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
bin=${BUILD_DIR:-$top/build/linux}/bin
demo=${DEMO_DIR:-$top/demo}
customers=${DEMO_CUSTOMERS:-300}
login=demo
pin=4711

for program in kxdb kxgen kxprovider kximport libImpApiKorvalix.so; do
  [ -e "$bin/$program" ] || { echo "demo: $bin/$program is missing; run make linux first" >&2; exit 1; }
done

rm -rf "$demo"
mkdir -p "$demo/provider/$login" "$demo/certs" "$demo/host/xml_temp" "$demo/host/KORVALIX"
# The host's XML folder is .../xml_temp, so the library's data directory is .../KORVALIX/.
datadir="$demo/host/KORVALIX"
xmldir="$demo/host/xml_temp"

echo "== Preparing the demo folder $demo"
cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$datadir/"
"$bin/kxdb" create "$datadir/KXDB.IDB"
"$bin/kxgen" --out "$demo/provider/$login" --customers "$customers" --seed 1 --summary > "$demo/provider/summary.txt"
echo "$login;$pin" > "$demo/provider/accounts.txt"
(umask 077 && echo "$pin" > "$demo/pin")  # the PIN file a run by hand reads with --pin-file
echo "provider data: $(tr '\n' ' ' < "$demo/provider/summary.txt")"

"$bin/kxprovider" --make-certs "$demo/certs" > /dev/null
"$bin/kxprovider" --data "$demo/provider" --https-port 0 --cert-dir "$demo/certs" \
  --port-file "$demo/ports" --log "$demo/provider-requests.log" --die-with-parent > /dev/null &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true; wait "$simulator" 2>/dev/null || true' EXIT
for _ in $(seq 1 150); do
  grep -qx ready "$demo/ports" 2>/dev/null && break
  kill -0 "$simulator" 2>/dev/null || { echo "demo: the provider simulator did not start" >&2; exit 1; }
  sleep 0.1
done
grep -qx ready "$demo/ports" || { echo "demo: the provider simulator did not get ready" >&2; exit 1; }
port=$(awk '$1 == "https-port" {print $2}' "$demo/ports")
cat > "$demo/simulator.sh" <<SIM
#!/bin/sh
# The demo's provider simulator, on the port demo/registry.reg names; ends with Ctrl+C.
exec "$bin/kxprovider" --data "$demo/provider" --https-port $port --cert-dir "$demo/certs" \\
  --log "$demo/provider-requests.log"
SIM
chmod +x "$demo/simulator.sh"
echo "provider simulator: https://127.0.0.1:$port (test CA $demo/certs/ca.pem)"

cat > "$demo/registry.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]
"DownloadSrvUrl"="https://127.0.0.1:$port/modules/tavo/onlinedatatransfer.php"
"Timeout"="60"
"ImportDB"="./KXDB.IDB"
REG

# The library trusts the simulator's certificate through this CA file; verification stays on.
export VELQORA_CA_FILE="$demo/certs/ca.pem"
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost

run_import() {
  "$bin/kximport" --settings "$demo/registry.reg" --output-dir "$xmldir" --advisor DEMO-1 \
    --login "$login" --pin-file "$demo/pin" --embedded-server --no-message-boxes --summary "$@"
}

echo
echo "== First import"
run_import --last-import 0
cp "$xmldir/KORVALIX.XML" "$xmldir/KORVALIX-first.XML"

echo
echo "== Follow-up import, continuing from the start ids of the first"
run_import --last-import 46000 --continue-from "$xmldir/KORVALIX-first.XML"

echo
echo "== Done"
echo "import file:        $xmldir/KORVALIX.XML (the first import's: $xmldir/KORVALIX-first.XML)"
echo "error logs:         $datadir/bst_error.log, tra_error.log, ids_error.log"
echo "requests the provider simulator decoded:"
sed 's/^/  /' "$demo/provider-requests.log"
echo
echo "To run it again by hand, start the simulator and give kximport the test CA:"
echo "  $demo/simulator.sh &"
echo "  VELQORA_CA_FILE=$demo/certs/ca.pem $bin/kximport --settings $demo/registry.reg \\"
echo "    --output-dir $xmldir --advisor BR-77 --login $login --pin-file $demo/pin --embedded-server \\"
echo "    --last-import 46000 --continue-from $xmldir/KORVALIX-first.XML --summary"
