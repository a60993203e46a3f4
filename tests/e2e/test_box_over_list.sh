#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A new high score while the player looks at another window: when its message box opens, the
# high-score list is already on screen under it, not the "YOU CRASHED" picture. (Kept out: the
# window, not being the active one, painted the list only once the box was closed.)
source "$(dirname "$0")/lib.sh"
start_xvfb

start_game --seed 5 --scores "$WORK/Cavewing.txt"
expect_pixel 6720 4900 "255,0,0"
# Another window, to look at once the game is over (in flight the game would stand still).
xclock -geometry 100x100+1200+800 >/dev/null 2>&1 &
CLOCK_PID=$!
trap 'kill $CLOCK_PID 2>/dev/null || true; cleanup' EXIT
wait_for 10 find_window '^xclock$' >/dev/null || fail "the other window did not map"
xdotool windowfocus --sync "$WID"
click_at 7600 5150
# No press: the helicopter falls into the floor; at the crash the focus goes to the other window.
wait_for 20 banner_shows || fail "no YOU CRASHED banner"
xdotool windowfocus --sync "$(find_window '^xclock$')" || fail "the other window took no focus"
[ "$(xdotool getwindowfocus)" != "$WID" ] || fail "the game kept the focus"

wait_for 20 find_window '^New High Score$' >/dev/null || fail "no New High Score message box"
# The list is up under the box: the cave is gone (black where the ceiling was) and the list's
# heading is painted in green.
shoot
[ "$(field_pixel 600 1500)" = "0,0,0" ] || fail "the cave is still on screen under the box"
heading=$("$CONVERT" "$WORK/shot.png" -crop "$((5355 / 15))x$((495 / 15))+$((5000 / 15))+$((1560 / 15 + MENU_H))" \
  +repage -fill black +opaque '#00FF00' -fill white -opaque '#00FF00' -format '%[fx:int(mean*w*h)]' info:)
[ "$heading" -gt 100 ] || fail "the list's heading is not painted under the box ($heading green pixels)"
echo "the list is on screen before the new high score's box opens"
