#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A recorded game played back in the real window: the replay presses START by itself, the
# helicopter pauses and climbs as recorded until it meets the ceiling, and a click stops the
# replay.
source "$(dirname "$0")/lib.sh"
REPLAYS=$(cd "$(dirname "$0")/../replays" && pwd)
start_xvfb

start_game --replay "$REPLAYS/paused-climb.replay"
start_gone() { shoot && [ "$(field_pixel 6720 4900)" != "255,0,0" ]; }
wait_for 20 start_gone || fail "the replay did not press START"
# The recording pauses twice, ten seconds each, so that its heights are seen on a busy machine
# too: at once after START (box 6 of the pause meter spent, box 5 not) and halfway up (box 5
# spent).
first_pause() {
  shoot && [ "$(field_pixel 10140 800)" = "0,255,0" ] && [ "$(field_pixel 9540 800)" = "128,128,255" ] &&
    first=$(copter_top)
}
wait_for 20 first_pause || fail "the replay did not pause after START as recorded"
second_pause() { shoot && [ "$(field_pixel 9540 800)" = "0,255,0" ] && now=$(copter_top); }
wait_for 30 second_pause || fail "the replay did not pause again as recorded"
[ "$now" -lt $((first - 10)) ] || fail "the helicopter did not climb as recorded ($first, then $now)"

banner_text() {
  shoot && "$CONVERT" "$WORK/shot.png" -crop "977x305+33+$(( 200 + MENU_H ))" +repage \
    -fill white -fuzz 5% +opaque '#ff0000' -format '%[fx:mean<0.99]' info: | grep -q 1
}
# The banner stands for 1.2 s, less than a look takes on a busy machine; then the list and the
# new high score's box replace it at once.
crash_shows() { banner_text || find_window '^New High Score$' >/dev/null || list_shows; }
wait_for 30 crash_shows || fail "the recorded crash into the ceiling did not show YOU CRASHED"

# The player's click ends the replay: back to the ready phase. A box that opened meanwhile is
# answered first, as a player would.
click_stops() {
  local box
  if box=$(find_window '^New High Score$'); then
    xdotool windowfocus --sync "$box" key --clearmodifiers Return 2>/dev/null || true
  fi
  click_at 7600 8000
  pixel_becomes 6720 4900 "255,0,0"
}
wait_for 20 click_stops || fail "a click did not stop the replay"
