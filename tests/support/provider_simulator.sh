# shellcheck shell=bash
# The Linux provider simulator for the Wine tests, sourced by wine_download.sh and wine_run.sh
# (bash: the control requests go through bash's /dev/tcp, so the tests need no HTTP client).
#
#   sim_start SIMULATOR DATA_DIR   starts it on an ephemeral loopback port: SIM_PID, SIM_PORT
#   sim_stop                       SIGTERM, then SIGKILL after 5 s; safe to call twice
#   sim_fault MODE [VALUE [COUNT]] sim_reset, sim_log: the control endpoints
#   sim_free_port                  a loopback port nothing listens on: KX_FREE_PORT
#   make_provider_files DIR LOGIN PIN   accounts.txt and the two provider files of one login
#
# The caller sets a trap that calls sim_stop on every way out.

SIM_PID=
SIM_PORT=
SIM_DIR=

sim_start() {
  local simulator=$1 data=$2 i
  SIM_DIR=$(mktemp -d "${TMPDIR:-/tmp}/kxsim.XXXXXX")
  "$simulator" --data "$data" --http-port 0 --die-with-parent >"$SIM_DIR/out" 2>"$SIM_DIR/err" &
  SIM_PID=$!
  for i in $(seq 150); do  # up to 15 s
    if grep -qx ready "$SIM_DIR/out" 2>/dev/null; then
      SIM_PORT=$(sed -n 's/^http-port //p' "$SIM_DIR/out")
      return 0
    fi
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "FAIL the simulator did not start: $(cat "$SIM_DIR/out" "$SIM_DIR/err")"
  sim_stop
  return 1
}

sim_stop() {
  local i
  if [ -n "$SIM_PID" ]; then
    kill -TERM "$SIM_PID" 2>/dev/null || true
    for i in $(seq 50); do
      kill -0 "$SIM_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=
  fi
  if [ -n "$SIM_DIR" ]; then
    rm -rf "$SIM_DIR"
    SIM_DIR=
  fi
}

# One control request; prints the answer's body, fails unless the status is 200.
sim_control() {
  local method=$1 target=$2 answer
  exec 3<>"/dev/tcp/127.0.0.1/$SIM_PORT"
  printf '%s %s HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\nConnection: close\r\n\r\n' \
    "$method" "$target" >&3
  answer=$(timeout 10 cat <&3 || true; echo .)  # the dot keeps the trailing line ends
  answer=${answer%.}
  exec 3<&-
  case $answer in
    "HTTP/1."?" 200 "*) ;;
    *)
      echo "FAIL control request $method $target: ${answer%%$'\r'*}" >&2
      return 1
      ;;
  esac
  printf '%s' "${answer#*$'\r\n\r\n'}"
}

sim_fault() { sim_control POST "/control/fault?mode=$1&value=${2:-}&count=${3:-1}" >/dev/null; }
sim_reset() { sim_control POST /control/reset >/dev/null; }
sim_log() { sim_control GET /control/log; }

# A throwaway simulator's port after it has stopped: nothing listens there any more.
sim_free_port() {
  local empty pid=$SIM_PID port=$SIM_PORT dir=$SIM_DIR
  empty=$(mktemp -d "${TMPDIR:-/tmp}/kxsim-empty.XXXXXX")
  sim_start "$1" "$empty"
  # shellcheck disable=SC2034 # read by the caller
  KX_FREE_PORT=$SIM_PORT
  sim_stop
  rm -rf "$empty"
  SIM_PID=$pid SIM_PORT=$port SIM_DIR=$dir
}

# The bytes 0x80 to 0xFF, once each.
high_bytes() {
  local i
  # shellcheck disable=SC2059 # the format is the escape \xHH of each byte
  for i in $(seq 128 255); do printf "\\x$(printf %02x "$i")"; done
}

# A small holdings file and a transactions file of about 300 KB (2048 equal lines), both with every
# byte from 0x80 up, for one login.
make_provider_files() {
  local dir=$1 login=$2 pin=$3 i
  mkdir -p "$dir/$login"
  printf '%s;%s\n' "$login" "$pin" >"$dir/accounts.txt"
  {
    printf 'VERBERNR;INHKDNR1;NAME\r\n'
    printf '4711;1001;M\xfcller '
    high_bytes
    printf '\r\n'
  } >"$dir/$login/bestandsdaten.csv"
  {
    printf '4711;1001;TRAID;2024-01-02;Kauf '
    high_bytes
    printf '\r\n'
  } >"$dir/line"
  for i in $(seq 11); do cat "$dir/line" "$dir/line" >"$dir/lines" && mv "$dir/lines" "$dir/line"; done
  { printf 'VERBERNR;INHKDNR1;TRAID;DATUM;TEXT\r\n'; cat "$dir/line"; } >"$dir/$login/transaktionsdaten.csv"
  rm "$dir/line"
}
