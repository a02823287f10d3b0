# shellcheck shell=bash
# A virtual X server for the Wine tests whose windows must really be drawn; sourced.
#
#   xvfb_start DIR   starts Xvfb on a free display number (it picks one itself) and exports DISPLAY;
#                    XVFB_PID is its process. DIR holds the display file.
#   xvfb_stop        ends it; safe to call twice
# The caller sets a trap that calls xvfb_stop on every way out.

XVFB_PID=

xvfb_start() {
  local dir=$1 i
  : >"$dir/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/xvfb.display" 2>"$dir/xvfb.err" &
  XVFB_PID=$!
  for i in $(seq 100); do  # up to 10 s
    if [ -s "$dir/xvfb.display" ]; then
      export DISPLAY=":$(head -n 1 "$dir/xvfb.display")"
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "FAIL Xvfb did not start: $(cat "$dir/xvfb.err")"
  return 1
}

xvfb_stop() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
