#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The keys come back to the game after a menu or a box: paused, Alt+F then Esc closes the menu, and
# Space resumes the flight instead of opening a menu; after How to Play, opened from the menu by
# its keys, has closed, Space resumes too.
source "$(dirname "$0")/lib.sh"
start_xvfb

# Paused in flight: START clicked, then the right button.
pause_a_flight() {
  start_game --seed "$1"
  expect_pixel 6720 4900 "255,0,0"
  # At once, in one go: a busy machine must not let the helicopter fall to the floor first.
  xdotool mousemove --window "$WID" $((7600 / 15)) $((5150 / 15 + MENU_H)) click 1 \
    mousemove --window "$WID" $((7000 / 15)) $((7500 / 15 + MENU_H)) click 3
  expect_pixel 10140 800 "0,255,0"  # a box of the pause meter went
}
box_shows() { find_window '^How to Play the Cavewing$' >/dev/null; }

pause_a_flight 5
xdotool key alt+f
xdotool key Escape
xdotool key space
field_stands_still && fail "Space did not resume the flight after Alt+F, Esc"
xdotool key ctrl+x
expect_exit

pause_a_flight 6
xdotool key alt+h Return  # the menu's first item
wait_for 10 box_shows || fail "How to Play did not open"
xdotool key Return
wait_for 10 eval '! box_shows' || fail "How to Play did not close"
xdotool windowfocus --sync "$WID"  # what a window manager does when a box goes
xdotool key space
field_stands_still && fail "Space did not resume the flight after the help box"
echo "keys come back after menus and boxes"
