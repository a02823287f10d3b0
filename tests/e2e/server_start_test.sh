#!/usr/bin/env bash
# The server start for real: with the Firebird server stopped, a default run (no EmbeddedIBServer)
# through "localhost:" starts it through the system's service manager and writes the document;
# with installation settings that name nothing that exists, the run says "nicht installiert"
# and ends with -29. Needs root; the server is left running, as a started server stays.
# Usage: server_start_test.sh BUILD_BIN_DIR SOURCE_DIR
set -euo pipefail
bin=${1:?usage: server_start_test.sh BUILD_BIN_DIR SOURCE_DIR}
top=${2:?usage: server_start_test.sh BUILD_BIN_DIR SOURCE_DIR}
[ "$(id -u)" -eq 0 ] || { echo "skipped: starting the server needs root"; exit 77; }
[ -x /etc/init.d/firebird3.0 ] || [ -d /run/systemd/system ] || { echo "skipped: no service manager"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kxserverstart-XXXXXX")
# shellcheck source=../support/provider_simulator.sh
. "$top/tests/support/provider_simulator.sh"
trap 'sim_stop; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
answers() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }
stop_server() {
  # The init script stops the server by its program, however the tests' fixture started it.
  if [ -x /etc/init.d/firebird3.0 ]; then /etc/init.d/firebird3.0 stop >/dev/null; else systemctl stop firebird3.0.service; fi
  for _ in $(seq 50); do answers || return 0; sleep 0.1; done
  fail "the Firebird server did not stop"
}

# The provider's files, the simulator, and a staging database the server can open.
mkdir -p "$work/provider/12345" "$work/host/xml_temp"
chmod 755 "$work" "$work/host"  # the server, as user firebird, must reach its database
"$bin/kxgen" --out "$work/provider/12345" --customers 5 --seed 3 >/dev/null
echo "12345;4711" >"$work/provider/accounts.txt"
sim_start "$bin/kxprovider" "$work/provider" || fail "no simulator"
install -d -o firebird -g firebird -m 2770 "$work/host/KORVALIX"
cp "$top"/install/BESTAND.txt "$top"/install/TRANSAKT.txt "$top"/install/DBSTARTIDS.txt "$work/host/KORVALIX/"
answers || fail "the Firebird server does not run before the test"
"$bin/kxdb" create "localhost:$work/host/KORVALIX/KXDB.IDB" >/dev/null

settings() {  # the settings file, with more value lines
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n'
  printf '"DownloadSrvUrl"="http://127.0.0.1:%s/modules/tavo/onlinedatatransfer.php"\r\n' "$SIM_PORT"
  printf '"ImportDB"="localhost:%s"\r\n' "$work/host/KORVALIX/KXDB.IDB"
  printf '%s\r\n' "$@"
}
run_import() {
  "$bin/kximport" --settings "$work/registry.reg" --output-dir "$work/host/xml_temp" --login 12345 --pin 4711 \
    --no-message-boxes >"$work/out" 2>"$work/err"
}

echo "== a stopped server is started and the run writes the document"
settings >"$work/registry.reg"
stop_server
# The installation check sees the stopped server first, and that the database cannot be reached.
env -u LANG -u LC_ALL -u LC_MESSAGES "$bin/kximport" check --settings "$work/registry.reg" \
  --output-dir "$work/host/xml_temp" >"$work/check" 2>&1 &&
  fail "the check passed with the server stopped: $(cat "$work/check")"
grep -q '^⚠ Firebird-Server installiert, aber nicht gestartet' "$work/check" &&
  grep -q '^✗ Staging-Datenbank localhost:.* nicht erreichbar' "$work/check" ||
  fail "the check does not name the stopped server: $(cat "$work/check")"
run_import || fail "the run failed: $(cat "$work/out" "$work/err")"
answers || fail "the server does not run after the run"
xmllint --noout --schema "$top/install/KORVALIX.xsd" "$work/host/xml_temp/KORVALIX.XML" ||
  fail "the document does not validate"

echo "== no installation"
settings '"FirebirdServer"="/nonexistent/kx/firebird"' '"FirebirdService"="kx-no-such-service"' >"$work/registry.reg"
got=0
run_import || got=$?
[ "$got" -eq 1 ] || fail "a run without installation exited with $got"
grep -q 'nicht installiert' "$work/out" "$work/err" || fail "no 'nicht installiert': $(cat "$work/out" "$work/err")"
grep -q 'Ergebnis -29' "$work/err" || fail "a run without installation does not end with -29: $(cat "$work/err")"
echo "PASS"
