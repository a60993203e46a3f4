#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The game window in a real X server: START by its pixels, a click starts a flight, Ctrl+X ends.
source "$(dirname "$0")/lib.sh"
start_xvfb

start_game
expect_pixel 6720 4900 "255,0,0"      # the red START button
expect_pixel 600 1500 "0,255,0"       # the ceiling
expect_pixel 7440 850 "216,0,0"       # the first box of the pause meter
xdotool key ctrl+x
expect_exit

start_game --seed 7
expect_pixel 6720 4900 "255,0,0"
click_at 7600 5150
# START goes, and the helicopter shows in its column: its orange, where the cave has only black
# and green. Not only in the box it starts in: on a busy machine the shot may come after it has
# fallen out of it.
heli_shows() {
  shoot && "$CONVERT" "$WORK/shot.png" -crop "107x722+$((1000 / 15))+$MENU_H" \
    -format '%[fx:maxima.r>0.5]' info: | grep -q 1
}
wait_for 10 heli_shows || fail "the helicopter did not show"
[ "$(field_pixel 6720 4900)" != "255,0,0" ] || fail "START still shows"
kill "$GAME_PID"; wait "$GAME_PID" 2>/dev/null || true

# The wide window gets the wide layout: START stands further right.
start_game --wide
[ "$WIDTH" -eq 1286 ] || fail "the wide window is $WIDTH pixels wide"
expect_pixel 8550 4900 "255,0,0"
