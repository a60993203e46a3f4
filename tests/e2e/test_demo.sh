#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The demo looks like one: a "DEMO" badge and its hint in the corner while it plays; the first click
# ends it, takes the badge away, and leaves START ready to play.
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

start_game --demo
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
