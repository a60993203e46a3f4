# Shared by the real-window tests: an X server of our own on a free display, and waiting with a
# deadline instead of sleeping. Source it; it cleans up after itself when the test exits.

# Starts Xvfb on the first free display from :90 up and exports DISPLAY.
start_xvfb() {
  local size=${1:-1600x1200x24} n
  for n in $(seq 90 190); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 "$size" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    if wait_for 10 xdpyinfo_ok :$n; then
      export DISPLAY=:$n
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null
  done
  echo "no free display for Xvfb" >&2
  return 1
}

xdpyinfo_ok() { DISPLAY=$1 xdotool getdisplaygeometry >/dev/null 2>&1; }

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
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}
