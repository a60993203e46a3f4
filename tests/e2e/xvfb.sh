# Shared by the real-window tests: an X server of our own on a free display, and waiting with a
# deadline instead of sleeping. Source it; the test calls stop_xvfb when it exits (in its trap).

# Starts Xvfb on a display it finds free by itself (no race with other servers starting at the
# same time) and exports DISPLAY.
start_xvfb() {
  local size=${1:-1600x1200x24} number
  XVFB_DISPLAY_FILE=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$XVFB_DISPLAY_FILE" >/dev/null 2>&1 &
  XVFB_PID=$!
  if ! wait_for 10 test -s "$XVFB_DISPLAY_FILE"; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  number=$(head -1 "$XVFB_DISPLAY_FILE")
  export DISPLAY=:$number
  wait_for 10 xdotool getdisplaygeometry >/dev/null 2>&1
}

# wait_for SECONDS COMMAND...: retries COMMAND until it succeeds or the deadline passes.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# Prints the id of the first visible window whose name matches, if there is one.
find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }

# The colour of one pixel of the screen as "r g b" (0-255), read with ImageMagick.
pixel_at() {
  /usr/bin/import -window root -crop "1x1+$1+$2" -depth 8 rgb:- 2>/dev/null | od -An -tu1 | xargs
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  rm -f "${XVFB_DISPLAY_FILE:-}"
  XVFB_PID=
}
