#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The demo looks like one: a "DEMO" badge and its hint in the corner while it plays; the first click
# ends it, takes the badge away, and leaves START ready to play. The player's game from there on is
# recorded as any sitting's, and replays to the same end.
source "$(dirname "$0")/lib.sh"
start_xvfb

# Black pixels of the badge's "DEMO", in the corner it is drawn in: the green ceiling lies under it
# always (its lowest edge is 28 pixels down).
badge_black() {
  shoot && "$CONVERT" "$WORK/shot.png" -crop "56x18+8+$((4 + MENU_H))" +repage -fill white \
    -fuzz 25% -opaque '#000000' -fill black +opaque white -format '%[fx:int(mean*w*h)]' info:
}
badge_shows() { [ "$(badge_black)" -gt 40 ]; }
badge_gone() { [ "$(badge_black)" -eq 0 ]; }

full_table "$WORK/scores.txt"
start_game --demo --scores "$WORK/scores.txt"
wait_for 10 badge_shows || fail "no DEMO badge"
# "DEMO" alone is short; the hint under it reaches further right, over the ceiling of the demo's
# first seconds (140 pixels deep).
"$CONVERT" "$WORK/shot.png" -crop "120x20+130+$((26 + MENU_H))" +repage -fill white -fuzz 25% \
  -opaque '#000000' -fill black +opaque white -format '%[fx:maxima.r]' info: | grep -qv '^0$' ||
  fail "no hint under the badge"
click_at 7000 9000
wait_for 10 badge_gone || fail "the badge stayed after the click"
expect_pixel 6720 4900 "255,0,0"
echo "demo badge ok"

# START, a fall to the floor, the list; then the program is ended.
click_at 7600 5150
wait_for 20 list_shows || fail "the player's game did not end on the list"
xdotool key ctrl+x
expect_exit
recording=$XDG_DATA_HOME/Cavewing/last-game
[ -s "$recording" ] || fail "the player's game after the demo was not recorded"
out=$("$CAVEWING" --replay "$recording" --headless 2>&1) || fail "the recording does not replay: $out"
grep -qx 'phase crashed' <<<"$out" || fail "the recording does not replay to the crash: $out"
echo "the player's game after the demo is recorded"
