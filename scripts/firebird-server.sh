#!/usr/bin/env bash
# Starts or stops the Firebird 3 server (Debian firebird3.0-server) for the tests, on localhost.
#
#   scripts/firebird-server.sh start   start it unless it runs, make SYSDBA's password "fennoclax",
#                                      wait (at most KX_FIREBIRD_WAIT seconds, 30) until it answers
#   scripts/firebird-server.sh stop    stop it, but only if "start" of this script started it
#
# Both are safe to repeat. What "start" started is recorded in the state file KX_FIREBIRD_STATE
# (default /run/kx-firebird-server.state); a server that was running already is never stopped.
# Needs root: the server runs as user firebird, started without systemd as its init script does.
# The password stays changed after "stop".
set -euo pipefail

readonly PASSWORD=fennoclax
readonly FBGUARD=/usr/sbin/fbguard
readonly FBSERVER=/usr/sbin/firebird
readonly RUN_DIR=/run/firebird3.0
readonly PIDFILE=$RUN_DIR/firebird.pid
readonly SECURITY_DB=/var/lib/firebird/3.0/system/security3.fdb
readonly PASSWORD_FILE=/etc/firebird/3.0/SYSDBA.password
readonly LOCK_DIR=/tmp/firebird
readonly LOG=/var/log/firebird/firebird3.0.log
readonly STATE=${KX_FIREBIRD_STATE:-/run/kx-firebird-server.state}
readonly WAIT_SECONDS=${KX_FIREBIRD_WAIT:-30}

say() { echo "firebird-server: $*"; }
die() {
  echo "firebird-server: $*" >&2
  exit 1
}

# True for a live process (a zombie is not) running the program named in $2.
is_process() {
  local pid=$1 program=$2 state
  [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
  state=$(sed 's/^.*) \(.\).*$/\1/' "/proc/$pid/stat" 2>/dev/null) || return 1
  [ "$state" != Z ] && [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$program" ]
}

live_pids() {
  local program=$1 pid
  for pid in $(pidof "$program" 2>/dev/null || true); do
    is_process "$pid" "$program" && echo "$pid"
  done
  return 0
}

# The service manager's answer to a login: "ok", "login" (refused) or "down" (no answer).
probe() {
  local out
  if out=$(fbsvcmgr localhost:service_mgr user SYSDBA password "$1" info_server_version 2>&1); then
    echo ok
  elif grep -qi 'password' <<<"$out"; then
    echo login
  else
    echo down
  fi
}

wait_until_up() {
  local deadline=$((SECONDS + WAIT_SECONDS)) answer
  while :; do
    answer=$(probe "$PASSWORD")
    [ "$answer" != down ] && { echo "$answer"; return 0; }
    [ $SECONDS -ge $deadline ] && { echo down; return 0; }
    sleep 0.2
  done
}

# The package's own SYSDBA password (Debian keeps it in SYSDBA.password), or nothing.
package_password() {
  [ -r "$PASSWORD_FILE" ] || return 0
  sed -n 's/^[[:space:]]*ISC_PASSWORD=//p' "$PASSWORD_FILE" | tail -n 1 | tr -d '"'
}

# With the server down: the engine opens the security database itself, as user firebird so that
# no lock file comes out owned by root.
set_password_embedded() {
  echo "create or alter user SYSDBA password '$PASSWORD'; commit;" |
    runuser -u firebird -- isql-fb -q -user SYSDBA "$SECURITY_DB" >/dev/null ||
    die "cannot set the SYSDBA password in $SECURITY_DB"
}

# With a server running that refuses our password: change it through the service manager with
# the package's password.
set_password_through_server() {
  local old
  old=$(package_password)
  if [ -z "$old" ] || ! fbsvcmgr localhost:service_mgr user SYSDBA password "$old" \
    action_modify_user sec_username SYSDBA sec_password "$PASSWORD" >/dev/null 2>&1; then
    die "the running server refuses SYSDBA/$PASSWORD and its password could not be changed" \
      "(the password of $PASSWORD_FILE does not work either); stop it and run this script again"
  fi
}

start() {
  [ "$(id -u)" -eq 0 ] || die "run as root"
  if [ ! -x "$FBGUARD" ] || [ ! -x "$FBSERVER" ]; then
    die "firebird3.0-server is not installed (scripts/install-deps.sh)"
  fi
  if ! command -v fbsvcmgr >/dev/null || ! command -v isql-fb >/dev/null; then
    die "firebird3.0-utils is not installed (scripts/install-deps.sh)"
  fi

  if [ -n "$(live_pids "$FBGUARD")$(live_pids "$FBSERVER")" ]; then
    case $(wait_until_up) in
      ok) say "already running"; return 0 ;;
      login) set_password_through_server ;;
      down) die "a Firebird server process runs but does not answer on localhost within ${WAIT_SECONDS}s" ;;
    esac
    [ "$(probe "$PASSWORD")" = ok ] || die "the password change did not take effect"
    say "already running; SYSDBA password set"
    return 0
  fi

  install -d -o firebird -g firebird -m 0770 "$RUN_DIR"
  # Lock files that an embedded engine run by root left behind would keep the server out.
  [ -d "$LOCK_DIR" ] && chown -R firebird:firebird "$LOCK_DIR"
  set_password_embedded
  rm -f "$PIDFILE"
  start-stop-daemon --start --quiet --chuid firebird --pidfile "$PIDFILE" --exec "$FBGUARD" -- \
    -daemon -forever -pidfile "$PIDFILE" >/dev/null
  local guard
  guard=$(live_pids "$FBGUARD" | head -n 1)
  [ -n "$guard" ] || die "fbguard did not start; see $LOG"
  echo "guard=$guard" >"$STATE"

  case $(wait_until_up) in
    ok) ;;
    login) die "the server refuses SYSDBA/$PASSWORD" ;;
    down) die "the server does not answer on localhost within ${WAIT_SECONDS}s; see $LOG" ;;
  esac
  local server
  server=$(cat "$PIDFILE" 2>/dev/null || true)
  echo "server=$server" >>"$STATE"
  say "started (fbguard $guard, firebird ${server:-?})"
}

# Ends a process and waits for it, at most 15 s with TERM, then KILL.
end_process() {
  local pid=$1 program=$2 deadline=$((SECONDS + 15))
  is_process "$pid" "$program" || return 0
  kill -TERM "$pid" 2>/dev/null || true
  while is_process "$pid" "$program"; do
    if [ $SECONDS -ge $deadline ]; then
      kill -KILL "$pid" 2>/dev/null || true
      sleep 0.2
      return 0
    fi
    sleep 0.2
  done
}

stop() {
  if [ ! -f "$STATE" ]; then
    say "not started by this script: left alone"
    return 0
  fi
  [ "$(id -u)" -eq 0 ] || die "run as root"
  local guard server
  guard=$(sed -n 's/^guard=//p' "$STATE")
  server=$(sed -n 's/^server=//p' "$STATE")
  # The guard first, or it would restart the server.
  end_process "$guard" "$FBGUARD"
  end_process "$server" "$FBSERVER"
  rm -f "$STATE"
  say "stopped"
}

case ${1:-} in
  start) start ;;
  stop) stop ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
