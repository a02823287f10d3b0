#!/bin/bash
# Smoke test of kxprovider as a program, for what only the command line has: --make-certs, the
# port file beside the start-up lines, --encode giving params the simulator reads (one HTTPS
# download with curl against the test CA) and a clean stop. Faults and the request log are
# checked through the simulator's class (ProviderSimulator_test.cpp).
# Usage: smoke_test.sh PATH-TO-KXPROVIDER
set -euo pipefail

KXPROVIDER=${1:?usage: smoke_test.sh PATH-TO-KXPROVIDER}
if ! command -v curl >/dev/null; then
  echo "SKIP: the curl command line is not installed (Debian package curl)"
  exit 77
fi
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kxprovider-smoke-XXXXXX")
PID=

cleanup() {
  if [[ -n $PID ]]; then
    kill -KILL "$PID" 2>/dev/null || true
    wait "$PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [[ -s $WORK/stderr ]] && sed 's/^/  kxprovider: /' "$WORK/stderr" >&2
  exit 1
}

fetch() {  # fetch OUTPUT URL [curl options...]: prints the HTTP status
  local output=$1 url=$2
  shift 2
  curl --silent --show-error --max-time 10 --cacert "$WORK/certs/ca.pem" -o "$output" -w '%{http_code}' "$@" "$url"
}

"$KXPROVIDER" --make-certs "$WORK/certs" || fail "--make-certs failed"

mkdir -p "$WORK/data/4711"
printf '# smoke test\n4711;1234\n' >"$WORK/data/accounts.txt"
printf 'Depot;Wert\r\n1;\xe4\r\n' >"$WORK/data/4711/bestandsdaten.csv"

"$KXPROVIDER" --data "$WORK/data" --https-port 0 --http-port 0 --cert-dir "$WORK/certs" \
  --port-file "$WORK/ports" >"$WORK/stdout" 2>"$WORK/stderr" &
PID=$!
for ((i = 0; i < 100; i++)); do
  grep -qx ready "$WORK/stdout" && break
  kill -0 "$PID" 2>/dev/null || fail "kxprovider ended before it was ready"
  sleep 0.1
done
grep -qx ready "$WORK/stdout" || fail "kxprovider not ready after 10 s"
cmp -s "$WORK/stdout" "$WORK/ports" || fail "the port file differs from standard output"
HTTPS_PORT=$(awk '$1 == "https-port" { print $2 }' "$WORK/stdout")
[[ $HTTPS_PORT =~ ^[0-9]+$ ]] || fail "no port lines: $(cat "$WORK/stdout")"

PARAMS=$("$KXPROVIDER" --encode 'version=2;file=bestaende;loginid=4711;pin=1234;')
URL="https://127.0.0.1:$HTTPS_PORT/modules/tavo/onlinedatatransfer.php?params=$PARAMS"

status=$(fetch "$WORK/holdings" "$URL") || fail "HTTPS download failed"
[[ $status == 200 ]] || fail "holdings download answered $status"
cmp -s "$WORK/holdings" "$WORK/data/4711/bestandsdaten.csv" || fail "holdings bytes differ"

# A clean stop: SIGTERM ends it with 0 within 10 s (the watchdog kills it otherwise).
kill -TERM "$PID"
(sleep 10 && kill -KILL "$PID") >/dev/null 2>&1 &
WATCHDOG=$!
rc=0
wait "$PID" || rc=$?
PID=
kill "$WATCHDOG" 2>/dev/null || true
wait "$WATCHDOG" 2>/dev/null || true
[[ $rc == 0 ]] || fail "kxprovider exited with $rc after SIGTERM"

echo "PASS"
