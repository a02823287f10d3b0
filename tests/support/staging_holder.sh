# shellcheck shell=bash
# Holds the three staging tables of a database from another attachment, as an import run holds
# them (isql through the server, or embedded for a plain path), until released.
#
#   hold_staging DATABASE WORK_DIR   reserves them; returns once they are held: HOLDER_PID
#   release_staging                  commits, ends the holder; safe to call twice
#
# The caller's EXIT trap calls release_staging.

HOLDER_PID=
HOLDER_DIR=

hold_staging() {
  local i
  HOLDER_DIR=$2
  mkfifo "$HOLDER_DIR/hold"
  isql-fb -q -u SYSDBA -p fennoclax "$1" <"$HOLDER_DIR/hold" >"$HOLDER_DIR/holder.out" 2>&1 &
  HOLDER_PID=$!
  exec 4>"$HOLDER_DIR/hold"
  echo "SET TRANSACTION WAIT RESERVING BESTAENDE, TRANSAKTIONEN, DBSTARTIDS FOR PROTECTED WRITE;" >&4
  echo "select 'held' from rdb\$database;" >&4
  for i in $(seq 300); do
    grep -q held "$HOLDER_DIR/holder.out" && return 0
    sleep 0.1
  done
  echo "FAIL the staging tables could not be held: $(cat "$HOLDER_DIR/holder.out")"
  return 1
}

release_staging() {
  [ -n "$HOLDER_PID" ] || return 0
  echo "commit;" >&4
  exec 4>&-
  wait "$HOLDER_PID" || true
  HOLDER_PID=
  rm -f "$HOLDER_DIR/hold"
}
