# SPDX-License-Identifier: MIT
# Helpers for tests of the real program in a real X server (Xvfb), driven with xdotool, on top of
# xvfb.sh. Every wait has a deadline; nothing sleeps for a fixed time to let something happen.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

# The game runs in real time: a test that falls behind on a busy machine sees things late and
# answers late (a climb seen late is let go late, into the ceiling). The test, its X server and
# its game go ahead of other work when allowed (as root), and run as usual otherwise.
renice -n -10 -p $$ >/dev/null 2>&1 || true

CAVEWING=${1:?usage: $0 path/to/cavewing}
CAVEWING=$(readlink -f "$CAVEWING")
CONVERT=/usr/bin/convert
IMPORT=/usr/bin/import
WORK=$(mktemp -d)
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run XDG_DATA_HOME=$WORK/home/.local/share
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
GAME_PID= WID= MENU_H=0

cleanup() {
  if [ -n "$GAME_PID" ]; then
    kill "$GAME_PID" 2>/dev/null || true
    # The game ends on TERM from its event loop: one stuck in a loop would outlive its test,
    # spinning ahead of all other work.
    wait_for 10 game_has_ended || kill -KILL "$GAME_PID" 2>/dev/null || true
  fi
  stop_xvfb
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; [ -f "$WORK/game.log" ] && sed "s/^/  game: /" "$WORK/game.log" >&2; [ -f "$WORK/shot.png" ] && cp "$WORK/shot.png" "/tmp/e2e-fail-$(basename "$0" .sh).png"; exit 1; }

# Starts the game with the given arguments and waits for its window.
start_game() {
  "$CAVEWING" "$@" >"$WORK/game.log" 2>&1 &
  GAME_PID=$!
  # This game's window, not one of a game that has just ended.
  game_window() { xdotool search --onlyvisible --pid "$GAME_PID" --name '^ Cavewing$' 2>/dev/null | head -1 | grep .; }
  wait_for 20 game_window >/dev/null || fail "the window did not map"
  WID=$(game_window)
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  MENU_H=$(( HEIGHT - 722 ))
  xdotool windowfocus --sync "$WID" >/dev/null 2>&1 || true
}

shoot() { "$IMPORT" -window "$WID" "$WORK/shot.png" 2>/dev/null; }

# The colour at a playfield position given in twips, from the last shot: "r,g,b".
field_pixel() {
  local x=$(( $1 / 15 )) y=$(( $2 / 15 + MENU_H ))
  "$CONVERT" "$WORK/shot.png" -format "%[fx:int(255*p{$x,$y}.r)],%[fx:int(255*p{$x,$y}.g)],%[fx:int(255*p{$x,$y}.b)]" info:
}
# Shoots until the pixel at (x, y) twips has the colour, or the deadline passes.
pixel_becomes() { local want=$3; shoot && [ "$(field_pixel "$1" "$2")" = "$want" ]; }
expect_pixel() { wait_for "${4:-10}" pixel_becomes "$1" "$2" "$3" || fail "pixel at $1,$2 twips is $(field_pixel "$1" "$2"), not $3"; }

# Nothing on the field changes for a while: every shot over 0.6 s matches the first.
field_stands_still() {
  shoot && cp "$WORK/shot.png" "$WORK/still.png"
  local until=$(($(date +%s%N) + 600000000))
  while [ "$(date +%s%N)" -lt $until ]; do
    shoot
    [ "$("$CONVERT" "$WORK/still.png" "$WORK/shot.png" -compose difference -composite \
      -format '%[fx:maxima]' info:)" = 0 ] || return 1
  done
}

# A high-score table whose fifteen rows all beat any short test flight: the game never stops for
# the New High Score box, which would take the keys and clicks meant for it.
full_table() {
  for i in $(seq 15); do printf '"PILOT"\r\n"%s"\r\n' $((100000 - i)); done >"$1"
}

# The high-score list stands in place of the field: a white name box where the cave was.
list_shows() { shoot && [ "$(field_pixel 9400 2480)" = "255,255,255" ]; }

# Clicks at a playfield position given in twips.
click_at() {
  xdotool mousemove --window "$WID" $(( $1 / 15 )) $(( $2 / 15 + MENU_H )) click "${3:-1}"
}

# "YOU CRASHED" is up: pure red pixels across the banner's first line of text.
banner_shows() {
  shoot && [ "$("$CONVERT" "$WORK/shot.png" -crop "977x100+33+$((200 + MENU_H))" +repage \
    -fill black +opaque '#FF0000' -fill white -opaque '#FF0000' \
    -format '%[fx:int(mean*w*h)]' info:)" -gt 2000 ]
}

game_has_ended() { ! kill -0 "$GAME_PID" 2>/dev/null; }
# A deadline, not a wait: under the sanitizers on a busy machine the leak check at exit alone can
# take seconds.
expect_exit() { wait_for "${1:-30}" game_has_ended || fail "the program did not end"; GAME_PID=; }

# The helicopter's top edge in the last shot, in playfield pixels (its column range, anything that
# is neither the black of the cave nor the green of the walls); fails when it is not in sight.
copter_top() {
  local x=$(( 1000 / 15 + 10 )) top
  top=$("$CONVERT" "$WORK/shot.png" -crop "80x722+$x+$MENU_H" +repage -fill black -opaque '#00ff00' \
    -fuzz 10% -trim -format '%[fx:page.y]' info: 2>/dev/null) || return 1
  # An empty strip trims to nothing at -1.
  [ -n "$top" ] && [ "$top" -ge 0 ] && echo "$top"
}
