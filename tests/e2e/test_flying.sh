#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Flying in the real window: a right click pauses and takes a box off the pause meter, holding the
# left button resumes and climbs, letting go falls, and the floor ends the flight with the banner.
source "$(dirname "$0")/lib.sh"
start_xvfb

# The helicopter's top edge in playfield pixels, from a fresh grab: the first row of its column
# range (Left 1000 twips, 107 pixels wide) holding anything but black or the green of the walls.
# Only that strip is grabbed, as raw bytes, so that a climb is seen early, well below the ceiling.
COPTER_Y=
copter_shows() {
  local row
  row=$("$IMPORT" -window root -crop "107x722+$((X + 1000 / 15))+$((Y + MENU_H))" -depth 8 rgb:- 2>/dev/null |
    od -An -tu1 -v -w321 | awk '{
      for (i = 1; i < NF; i += 3)
        if ($i + $(i + 1) + $(i + 2) > 0 && !($i == 0 && $(i + 1) == 255 && $(i + 2) == 0)) {
          print NR - 1; exit
        }
    }')
  [ -n "$row" ] || return 1
  COPTER_Y=$row
}
copter_above() { copter_shows && [ "$COPTER_Y" -lt "$1" ]; }
# Falling: a fresh position below the highest one seen since the button was let go.
HIGHEST=
copter_falls() {
  copter_shows || return 1
  [ "$COPTER_Y" -lt "$HIGHEST" ] && HIGHEST=$COPTER_Y
  [ "$COPTER_Y" -gt $((HIGHEST + 4)) ]
}
# Like wait_for, without a pause between tries: each try is a grab, and a climb is quick.
watch_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
  done
}

# Pure red pixels across the banner's first line of text ("YOU"), above where START stands.
banner_red() {
  shoot && "$CONVERT" "$WORK/shot.png" -crop "$((14655 / 15))x100+$((500 / 15))+$((3000 / 15 + MENU_H))" \
    +repage -fill black +opaque '#FF0000' -fill white -opaque '#FF0000' \
    -format '%[fx:int(mean*w*h)]' info:
}
banner_shows() { [ "$(banner_red)" -gt 2000 ]; }

start_game --seed 5
expect_pixel 6720 4900 "255,0,0"
[ "$(banner_red)" -eq 0 ] || fail "red in the banner's place before any flight"
expect_pixel 10140 800 "255,0,255"   # box 6 of the pause meter, magenta
click_at 7600 5150
wait_for 10 copter_shows || fail "the helicopter did not show after START"

# A right click: the last box goes, showing the green behind it, and the game stands still.
click_at 7000 7500 3
expect_pixel 10140 800 "0,255,0"
expect_pixel 9540 800 "128,128,255"  # box 5 stays
field_stands_still || fail "the field still moves after the pause"

# Holding the left button resumes the flight and climbs.
copter_shows || fail "no helicopter during the pause"
PAUSED_Y=$COPTER_Y
xdotool mousemove --window "$WID" $((7000 / 15)) $((7500 / 15 + MENU_H)) mousedown 1
watch_for 5 copter_above $((PAUSED_Y - 3)) || fail "the helicopter did not rise from $PAUSED_Y (at $COPTER_Y)"
xdotool mouseup 1
HIGHEST=$COPTER_Y
watch_for 5 copter_falls || fail "the helicopter did not fall after the release (at $COPTER_Y)"

# Left alone, it falls into the floor: the banner.
wait_for 10 banner_shows || fail "no YOU CRASHED banner"
expect_pixel 10140 800 "0,255,0"     # the spent box stays gone
