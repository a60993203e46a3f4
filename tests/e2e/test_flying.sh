#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Flying in the real window: a right click pauses and takes a box off the pause meter, holding the
# left button resumes and climbs, letting go falls, and the floor ends the flight with the banner.
source "$(dirname "$0")/lib.sh"
start_xvfb

# The helicopter's top edge in playfield pixels, from a fresh grab: the first row of its column
# range (Left 1000 twips, 107 pixels wide) holding anything but black or the green of the walls.
# Only that strip is grabbed, as raw bytes.
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
# Pure red pixels across the banner's first line of text ("YOU"), above where START stands.
banner_red() {
  shoot && "$CONVERT" "$WORK/shot.png" -crop "$((14655 / 15))x100+$((500 / 15))+$((3000 / 15 + MENU_H))" \
    +repage -fill black +opaque '#FF0000' -fill white -opaque '#FF0000' \
    -format '%[fx:int(mean*w*h)]' info:
}
banner_shows() { [ "$(banner_red)" -gt 2000 ]; }

SCORES=$WORK/Cavewing.txt
full_table "$SCORES"
start_game --seed 5 --scores "$SCORES"
expect_pixel 6720 4900 "255,0,0"
[ "$(banner_red)" -eq 0 ] || fail "red in the banner's place before any flight"
expect_pixel 10140 800 "255,0,255"   # box 6 of the pause meter, magenta

# The helicopter meets the floor about half a second after START, sooner than a busy machine
# answers a look at the screen; so every move is sent in one go with the press before it, and
# each one's outcome is looked at while the game stands paused.

# START, then a right click: the last box goes, showing the green behind it, and the game stands
# still.
xdotool mousemove --window "$WID" $((7600 / 15)) $((5150 / 15 + MENU_H)) click 1 \
  mousemove --window "$WID" $((7000 / 15)) $((7500 / 15 + MENU_H)) click 3
expect_pixel 10140 800 "0,255,0"
expect_pixel 9540 800 "128,128,255"  # box 5 stays
field_stands_still || fail "the field still moves after the pause"
copter_shows || fail "no helicopter during the pause"
PAUSED_Y=$COPTER_Y

# Holding the left button resumes the flight and climbs; a right click while it is held pauses
# again and keeps the height reached. The 0.3 s held is the press itself: too short to reach the
# ceiling (0.5 s of climbing away), long enough to rise well over the 3 pixels asked.
xdotool mousedown 1 sleep 0.3 click 3 mouseup 1
expect_pixel 9540 800 "0,255,0"      # box 5 spent
field_stands_still || fail "the field still moves after the second pause"
copter_above $((PAUSED_Y - 3)) || fail "the helicopter did not rise from $PAUSED_Y (at $COPTER_Y)"
CLIMBED_Y=$COPTER_Y

# A left click resumes and lets go at once: the helicopter falls (a lost release would climb on
# into the ceiling); another pause, 0.3 s later (the floor is more than 0.6 s of falling away),
# shows it lower.
xdotool click 1 sleep 0.3 click 3
expect_pixel 8940 800 "0,255,0"      # box 4 spent
field_stands_still || fail "the field still moves after the third pause"
copter_shows && [ "$COPTER_Y" -gt $((CLIMBED_Y + 4)) ] ||
  fail "the helicopter did not fall after the release (from $CLIMBED_Y to $COPTER_Y)"

# Left alone, it falls into the floor: the banner, which stands 1.2 s, or on a machine too busy
# to see it in time the high-score list that follows it.
xdotool click 1
crash_shows() { banner_shows || list_shows; }
wait_for 20 crash_shows || fail "no YOU CRASHED banner"
# The spent boxes stay gone: the green of the ceiling behind them, or the black behind the list.
for box in 10140 8940; do
  case $(field_pixel $box 800) in
    0,255,0 | 0,0,0) ;;
    *) fail "the box at $box,800 twips came back ($(field_pixel $box 800))" ;;
  esac
done
