#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The keys come back to the game after a menu or a box: paused, Alt+F then Esc closes the menu, and
# Space resumes the flight instead of opening a menu; after How to Play, opened from the menu by
# its keys, has closed, Space resumes too. In flight, with every menu off, Alt alone and Alt+H
# leave the keys to the game: the Esc after them pauses.
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
xdotool key ctrl+x
expect_exit

# In flight: Alt alone, Alt+H, then Esc, at once after START (the helicopter falls meanwhile).
start_game --seed 7
expect_pixel 6720 4900 "255,0,0"
xdotool mousemove --window "$WID" $((7600 / 15)) $((5150 / 15 + MENU_H)) click 1 \
  key alt key alt+h key Escape
expect_pixel 10140 800 "0,255,0"  # a box of the pause meter went
xdotool key ctrl+x
expect_exit
grep -q '^[0-9]* keypress 27$' "$XDG_DATA_HOME/Cavewing/last-game" ||
  fail "the pause's Esc is not in the recording: $(cat "$XDG_DATA_HOME/Cavewing/last-game")"
echo "Alt leaves the keys to the game while the menus are off"
