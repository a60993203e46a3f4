# Helpers for tests of the real program in a real X server (Xvfb), driven with xdotool.
# Every wait has a deadline; nothing sleeps for a fixed time to let something happen.
set -euo pipefail

CAVEWING=${1:?usage: $0 path/to/cavewing}
CAVEWING=$(readlink -f "$CAVEWING")
CONVERT=/usr/bin/convert
IMPORT=/usr/bin/import
WORK=$(mktemp -d)
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run XDG_DATA_HOME=$WORK/home/.local/share
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
XVFB_PID= GAME_PID= WID= MENU_H=0

cleanup() {
  [ -n "$GAME_PID" ] && kill "$GAME_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; [ -f "$WORK/game.log" ] && sed "s/^/  game: /" "$WORK/game.log" >&2; [ -f "$WORK/shot.png" ] && cp "$WORK/shot.png" "/tmp/e2e-fail-$(basename "$0" .sh).png"; exit 1; }

# wait_until SECONDS COMMAND...: retries COMMAND until it succeeds or the deadline passes.
wait_until() {
  local deadline=$(( $(date +%s%N) + $1 * 1000000000 )); shift
  until "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# Starts Xvfb on a free display of its own (tests and other servers may run side by side).
start_xvfb() {
  local n
  for n in $(seq $(( 100 + RANDOM % 400 )) 600); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    if wait_until 10 xvfb_answers; then return 0; fi
    kill "$XVFB_PID" 2>/dev/null || true   # lost the race for this display: try the next
  done
  fail "no display for Xvfb"
}
xvfb_answers() { kill -0 "$XVFB_PID" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1; }

# Starts the game with the given arguments and waits for its window.
start_game() {
  "$CAVEWING" "$@" >"$WORK/game.log" 2>&1 &
  GAME_PID=$!
  wait_until 20 find_window || fail "the window did not map"
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  MENU_H=$(( HEIGHT - 722 ))
  xdotool windowfocus --sync "$WID" >/dev/null 2>&1 || true
}
find_window() { WID=$(xdotool search --onlyvisible --name '^ Cavewing$' 2>/dev/null | head -1); [ -n "$WID" ]; }

shoot() { "$IMPORT" -window "$WID" "$WORK/shot.png" 2>/dev/null; }

# The colour at a playfield position given in twips, from the last shot: "r,g,b".
pixel_at() {
  local x=$(( $1 / 15 )) y=$(( $2 / 15 + MENU_H ))
  "$CONVERT" "$WORK/shot.png" -format "%[fx:int(255*p{$x,$y}.r)],%[fx:int(255*p{$x,$y}.g)],%[fx:int(255*p{$x,$y}.b)]" info:
}
# Shoots until the pixel at (x, y) twips has the colour, or the deadline passes.
pixel_becomes() { local want=$3; shoot && [ "$(pixel_at "$1" "$2")" = "$want" ]; }
expect_pixel() { wait_until "${4:-10}" pixel_becomes "$1" "$2" "$3" || fail "pixel at $1,$2 twips is $(pixel_at "$1" "$2"), not $3"; }

# Clicks at a playfield position given in twips.
click_at() {
  xdotool mousemove --window "$WID" $(( $1 / 15 )) $(( $2 / 15 + MENU_H )) click "${3:-1}"
}

game_has_ended() { ! kill -0 "$GAME_PID" 2>/dev/null; }
expect_exit() { wait_until "${1:-10}" game_has_ended || fail "the program did not end"; GAME_PID=; }
