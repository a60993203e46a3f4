#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A whole game in the real window: START, a flight into the floor, the banner, the high-score list
# with the new row, the message box answered with Enter, a click for the next game; and the
# high-score file on disk, rewritten in its own format with the new row in its place.
source "$(dirname "$0")/lib.sh"
start_xvfb

# The player's name comes from USERNAME alone; it is upper-cased for the table.
unset NWUSERNAME LOGIN
export USERNAME=testpilot

# A table with the player's own older entry at row 14: the new score replaces it higher up.
names=(AB CD EF GH IJ KL MN OP QR ST UV WX YZ TESTPILOT ZZ)
scores=(9000 8000 7000 6000 5000 4000 3000 2000 9 8 7 6 5 1 0)
SCORES=$WORK/Cavewing.txt
for i in "${!names[@]}"; do printf '"%s"\r\n"%s"\r\n' "${names[$i]}" "${scores[$i]}"; done >"$SCORES"

# Dark pixels of the text in row $1's name box of the list, inside its border, from the last shot.
name_ink() {
  local top=$(((2280 + 480 * ($1 - 1)) / 15 + MENU_H + 2))
  "$CONVERT" "$WORK/shot.png" -crop "$((4725 / 15 - 4))x$((405 / 15 - 4))+$((4860 / 15 + 2))+$top" \
    +repage -colorspace gray -threshold 50% -negate -format '%[fx:int(mean*w*h)]' info:
}

start_game --seed 5 --scores "$SCORES"
expect_pixel 6720 4900 "255,0,0"
click_at 7600 5150
# No press: the helicopter falls into the floor.
wait_for 10 banner_shows || fail "no YOU CRASHED banner"

# The list comes with the message box, a window of its own; Enter answers it.
wait_for 10 find_window '^New High Score$' >/dev/null || fail "no New High Score message box"
BOX=$(find_window '^New High Score$')
xdotool windowfocus --sync "$BOX" key --clearmodifiers Return
box_gone() { ! find_window '^New High Score$' >/dev/null; }
wait_for 10 box_gone || fail "the message box did not close on Enter"

# The list stays: white name boxes, and the only long name in them is the player's, in the row
# where the file now has it (two letters make 75 to 170 dark pixels, TESTPILOT about 500).
expect_pixel 9400 2480 "255,255,255"
ROW=$(awk -v RS='\r\n' 'NR % 2 == 1 && $0 == "\"TESTPILOT\"" { print (NR + 1) / 2 }' "$SCORES")
[ -n "$ROW" ] || fail "the file has no row of TESTPILOT"
shoot
for i in $(seq 15); do
  ink=$(name_ink "$i")
  if [ "$i" -eq "$ROW" ]; then
    [ "$ink" -gt 350 ] || fail "row $i of the list shows no long name ($ink dark pixels)"
  else
    [ "$ink" -lt 250 ] || fail "row $i of the list shows a long name ($ink dark pixels), the new row is $ROW"
  fi
done

# A click on the window starts the next game: START again, the list gone.
click_at 2000 9000
expect_pixel 6720 4900 "255,0,0"
expect_pixel 9400 2480 "0,0,0"     # the cave's opening where the box was

# The file: 30 lines, each ending in CR LF, each field in double quotes; the new score ranked
# among the others and the player's older row gone.
[ "$(wc -l <"$SCORES")" -eq 30 ] || fail "the file has $(wc -l <"$SCORES") lines"
[ "$(grep -c $'\r$' "$SCORES")" -eq 30 ] || fail "not every line ends in CR LF"
[ "$(grep -c '^"[^"]*"'$'\r''$' "$SCORES")" -eq 30 ] || fail "a field is not in double quotes"
SCORE=$(awk -v RS='\r\n' -v row="$ROW" 'NR == 2 * row { gsub(/"/, ""); print }' "$SCORES")
[ "$SCORE" -gt 1 ] && [ "$SCORE" -lt 600 ] || fail "the new score is $SCORE"
expected() {
  local i placed=
  for i in "${!names[@]}"; do
    [ "${names[$i]}" = TESTPILOT ] && continue
    if [ -z "$placed" ] && [ "${scores[$i]}" -lt "$SCORE" ]; then
      printf '"TESTPILOT"\r\n"%s"\r\n' "$SCORE"
      placed=1
    fi
    printf '"%s"\r\n"%s"\r\n' "${names[$i]}" "${scores[$i]}"
  done
}
cmp -s <(expected) "$SCORES" || { diff <(expected | tr -d '\r') <(tr -d '\r' <"$SCORES") >&2; fail "the table on disk is not the expected one"; }
