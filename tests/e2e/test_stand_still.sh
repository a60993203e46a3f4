#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# In flight, the game stands still while its window is not in front: another window takes the
# focus, or the window is unmapped (minimised) and mapped again. The picture and the score stand
# still under the PAUSED overlay, no pause charge is spent, and the first click or key back only
# lifts the stand-still: the recording holds neither.
source "$(dirname "$0")/lib.sh"
start_xvfb
other=
trap '[ -n "$other" ] && kill "$other" 2>/dev/null; cleanup' EXIT

# The overlay's yellow "PAUSED" in the middle of the field.
paused_shows() {
  shoot && "$CONVERT" "$WORK/shot.png" -crop "300x60+358+$((300 + MENU_H))" +repage -fill black \
    -fuzz 20% +opaque '#ffff00' -format '%[fx:maxima.r]' info: | grep -qv '^0$'
}
crop() { "$CONVERT" "$WORK/shot.png" -crop "$1" +repage rgb:- | md5sum; }
meter_crop() { crop "200x20+$((7440 / 15))+$((800 / 15 + MENU_H))"; }
score_crop() { crop "100x30+$((13395 / 15))+$((360 / 15 + MENU_H))"; }
score_counts() { shoot && [ "$(score_crop)" != "$1" ]; }
recording=$XDG_DATA_HOME/Cavewing/last-game
# No New High Score box may take the Ctrl+X that ends a game.
SCORES=$WORK/Cavewing.txt
full_table "$SCORES"
# Takes off, then at once, in the same go (the helicopter meets the floor half a second after
# START, sooner than a busy machine answers), the xdotool commands given, if any: a string, read
# once the window is known, so that $WID and $MENU_H are this game's.
take_off() {
  start_game --seed "$1" --scores "$SCORES"
  expect_pixel 6720 4900 "255,0,0"
  eval "xdotool mousemove --window \"\$WID\" $((7600 / 15)) $((5150 / 15 + MENU_H)) click 1 ${2:-}"
}
# Ends the game with Ctrl+X, so that the sitting is saved.
end_game() {
  xdotool key ctrl+x
  expect_exit 20
}
# The recording's lines that hold the words given.
count_in_recording() { grep -c "^[0-9]* $1" "$recording" || true; }

# Another window takes the focus: the game lets the button go and stands still.
xlogo -geometry 100x100+0+0 & other=$!
wait_for 10 eval 'other_wid=$(xdotool search --onlyvisible --class xlogo | head -1); [ -n "$other_wid" ]' ||
  fail "no other window"
# The left button is held on the field when the focus goes.
take_off 3 'mousemove --window "$WID" 300 $((300 + MENU_H)) mousedown 1 windowfocus --sync "$other_wid"'
wait_for 20 paused_shows || fail "no PAUSED overlay after the focus went"
xdotool mouseup 1
meter=$(meter_crop) score=$(score_crop)
field_stands_still || fail "the picture moved while another window had the focus"
# A window over the field and gone again: the field shows the picture it showed, whole.
xlogo -geometry 1100x900+0+0 & cover=$!
wait_for 10 eval '[ "$(xdotool search --onlyvisible --class xlogo | wc -l)" = 2 ]' || fail "no cover"
kill "$cover"
wait_for 10 eval 'shoot && [ "$("$CONVERT" "$WORK/still.png" "$WORK/shot.png" -compose difference \
  -composite -format "%[fx:maxima]" info:)" = 0 ]' || fail "the field lost its picture under a window"
# The first click back only lifts the stand-still: no press, no pause charge.
xdotool windowfocus --sync "$WID"
click_at 7000 7500
wait_for 20 eval '! paused_shows' || fail "the overlay stayed after a click"
[ "$(meter_crop)" = "$meter" ] || fail "a pause charge was spent"
wait_for 20 score_counts "$score" || fail "the flight did not go on after the click"
end_game
[ "$(count_in_recording 'down ')" = 1 ] || fail "the click that lifted the stand-still reached the game"

# Minimised (unmapped) and mapped again: the same, and a key lifts it.
take_off 4 'windowunmap --sync "$WID" windowmap --sync "$WID" windowfocus --sync "$WID"'
wait_for 20 paused_shows || fail "no PAUSED overlay after the window was unmapped"
meter=$(meter_crop)
field_stands_still || fail "the picture moved after the window was minimised"
xdotool key space
wait_for 20 eval '! paused_shows' || fail "the overlay stayed after a key"
[ "$(meter_crop)" = "$meter" ] || fail "the key that lifted the stand-still spent a pause charge"
end_game
[ "$(count_in_recording 'keydown 32 ')" = 0 ] || fail "the key that lifted the stand-still reached the game"

# The Up arrow held to lift it, through the crash and on, as X repeats it: it never climbs, nor
# starts over after the crash.
take_off 6 'windowunmap --sync "$WID" windowmap --sync "$WID" windowfocus --sync "$WID"'
wait_for 20 paused_shows || fail "no PAUSED overlay after the window was unmapped"
xdotool keydown Up
wait_for 20 eval '! paused_shows' || fail "the overlay stayed after Up"
wait_for 20 list_shows || fail "no crash after the stand-still"
field_stands_still || fail "the held Up started over"
xdotool keyup Up
end_game
[ "$(count_in_recording 'down ')" = 0 ] ||
  fail "the held Up that lifted the stand-still reached the game"
echo "stand-still ok"
