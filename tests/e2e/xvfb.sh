# SPDX-License-Identifier: MIT
# Shared by the real-window tests: an X server of our own on a free display, and waiting with a
# deadline instead of sleeping. Source it; the test calls stop_xvfb when it exits (in its trap).

# Starts Xvfb on a free display and exports DISPLAY. The server's lock file, made atomically,
# decides who owns a display: a server that finds its display taken exits, and another number is
# tried. Numbers are picked at random from a high range, away from where other servers start.
start_xvfb() {
  local size=${1:-1600x1200x24} n
  for _ in $(seq 30); do
    n=$((200 + RANDOM % 800))
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 "$size" -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    wait_for 10 xvfb_settled $n
    if xvfb_ours $n; then
      export DISPLAY=:$n
      return 0
    fi
    stop_xvfb
  done
  echo "no free display for Xvfb" >&2
  return 1
}

# Our server holds the display's lock and answers; or it has given up.
xvfb_ours() {
  kill -0 "$XVFB_PID" 2>/dev/null && [ "$( { tr -d ' ' <"/tmp/.X$1-lock"; } 2>/dev/null)" = "$XVFB_PID" ] &&
    DISPLAY=:$1 xdotool getdisplaygeometry >/dev/null 2>&1
}
xvfb_settled() { ! kill -0 "$XVFB_PID" 2>/dev/null || xvfb_ours "$1"; }

# wait_for SECONDS COMMAND...: retries COMMAND until it succeeds or the deadline passes. A build
# under the sanitizers runs several times slower, so its tests are given CAVEWING_TEST_PATIENCE
# times as long; a wait that succeeds returns at once either way.
PATIENCE=${CAVEWING_TEST_PATIENCE:-1}
wait_for() {
  local deadline=$((SECONDS + $1 * PATIENCE)); shift
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

# Safe in an exit trap under `set -e`: nothing here fails.
stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  XVFB_PID=
}
