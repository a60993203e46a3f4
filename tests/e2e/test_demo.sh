#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The demo looks like one: a "DEMO" badge and its hint in the corner while it plays; the first click
# ends it, takes the badge away, and leaves START ready to play.
source "$(dirname "$0")/lib.sh"
start_xvfb

# Yellow pixels of the badge's text, in the corner it is drawn in (the hint under "DEMO" included).
badge_yellow() {
  shoot && "$CONVERT" "$WORK/shot.png" -crop "260x44+8+$((4 + MENU_H))" +repage -fill black \
    -fuzz 25% +opaque '#ffff00' -fill white -fuzz 25% -opaque '#ffff00' -format '%[fx:int(mean*w*h)]' info:
}
badge_shows() { [ "$(badge_yellow)" -gt 150 ]; }
badge_gone() { [ "$(badge_yellow)" -eq 0 ]; }

start_game --demo
wait_for 10 badge_shows || fail "no DEMO badge"
# "DEMO" alone is short; the hint under it reaches further right.
"$CONVERT" "$WORK/shot.png" -crop "120x20+130+$((26 + MENU_H))" +repage -fill black -fuzz 25% \
  +opaque '#ffff00' -format '%[fx:maxima.r]' info: | grep -qv '^0$' || fail "no hint under the badge"
click_at 7000 9000
wait_for 10 badge_gone || fail "the badge stayed after the click"
expect_pixel 6720 4900 "255,0,0"
echo "demo badge ok"
