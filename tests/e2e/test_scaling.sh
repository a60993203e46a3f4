#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real window under Xvfb: resized, it scales the playfield to fit, centred on black; it comes
# back at the size and place it had when the game was left; the wide window neither takes the
# remembered size nor overwrites it.
# Usage: test_window.sh PROGRAM
set -euo pipefail
program=$1
source "$(dirname "$0")/xvfb.sh"
tmp=$(mktemp -d)
app=
stop_app() {
  [ -n "$app" ] || return 0
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=
}
trap 'stop_app; stop_xvfb; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR

launch() {
  "$program" --seed 3 "$@" & app=$!
  wait_for 20 find_window Cavewing >/dev/null || fail "no window within 20 s"
  window=$(find_window Cavewing)
}
geometry() { xdotool getwindowgeometry --shell "$window" | tr '\n' ' '; }
geometry_is() { eval "$(xdotool getwindowgeometry --shell "$window")"; [ "$X,$Y,$WIDTH,$HEIGHT" = "$1" ]; }
# Exit through the menu's shortcut, as a player would; the program must end by itself.
quit() {
  xdotool windowfocus --sync "$window" key ctrl+x
  wait_for 20 eval '! kill -0 "$app" 2>/dev/null' || fail "the program did not end on Ctrl+X"
  wait "$app" || fail "the program ended with status $?"
  app=
}
is_colour() { # x y r g b: within a small tolerance
  local r g b
  read -r r g b <<<"$(pixel_at "$1" "$2")"
  (( ${r:-999} - $3 <= 8 && $3 - ${r:-999} <= 8 && ${g:-999} - $4 <= 8 && $4 - ${g:-999} <= 8 &&
     ${b:-999} - $5 <= 8 && $5 - ${b:-999} <= 8 ))
}

start_xvfb 1600x1200x24
launch
eval "$(xdotool getwindowgeometry --shell "$window")"
menu=$((HEIGHT - 722))
[ "$WIDTH" = 1016 ] && [ "$menu" -gt 0 ] || fail "first window is not 1016 wide over a menu: $(geometry)"

# Twice as wide as the field's proportion: the field is scaled to the height and centred on black.
xdotool windowmove "$window" 40 30 windowsize "$window" 1400 $((menu + 500))
wait_for 10 geometry_is "40,30,1400,$((menu + 500))" || fail "resize not applied: $(geometry)"
scale_num=500 scale_den=722                       # playfield height 500 for a field 722 high
field_w=$((1016 * scale_num / scale_den)) left=$(((1400 - 1016 * scale_num / scale_den) / 2))
px() { echo $((40 + left + $1 * scale_num / scale_den / 15)); }
py() { echo $((30 + menu + $1 * scale_num / scale_den / 15)); }
wait_for 10 is_colour "$(px 6900)" "$(py 4800)" 255 0 0 ||
  fail "START not red at its scaled place: $(pixel_at "$(px 6900)" "$(py 4800)")"
is_colour "$(px 600)" "$(py 1500)" 0 255 0 || fail "ceiling block not green at its scaled place"
is_colour "$(px 13900)" "$(py 5400)" 0 255 0 || fail "middle obstacle not green at its scaled place"
is_colour $((40 + left / 2)) "$(py 1500)" 0 0 0 || fail "left margin not black"
is_colour $((40 + left + field_w + left / 2)) "$(py 1500)" 0 0 0 || fail "right margin not black"
quit

# The next run comes back at the same size and place.
launch
wait_for 10 geometry_is "40,30,1400,$((menu + 500))" || fail "size and place not remembered: $(geometry)"
quit

# The wide window keeps its own width, and leaves the remembered one alone.
launch --wide
geometry_is "0,0,1286,$((menu + 722))" || fail "wide window took the remembered size: $(geometry)"
xdotool windowsize "$window" 900 600
wait_for 10 geometry_is "0,0,900,600" || fail "resize of the wide window not applied"
quit
launch
wait_for 10 geometry_is "40,30,1400,$((menu + 500))" || fail "the wide window overwrote the remembered size: $(geometry)"
quit
# A window too big for the screen is scaled down to fit it, the first one and a remembered one: at
# scale factor 2 a 1600x1200 screen holds 800x600 of the window's 1016x741 logical pixels.
fits() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1600 ] && [ $((Y + HEIGHT)) -le 1200 ]
}
# The floor along the window's bottom, and the white score box in its top right quarter.
floor_and_score_show() {
  is_colour $((X + WIDTH / 2)) $((Y + HEIGHT - 8)) 0 255 0 &&
    [ "$(/usr/bin/import -window root png:- | /usr/bin/convert - \
      -crop "$((WIDTH / 4))x$((HEIGHT / 4))+$((X + WIDTH * 3 / 4))+$Y" +repage \
      -fill black +opaque white -format '%[fx:int(mean*w*h)]' info:)" -gt 500 ]
}
for remembered in no yes; do
  if [ $remembered = yes ]; then
    launch
    xdotool windowmove "$window" 50 40 windowsize "$window" 1500 1150
    wait_for 10 geometry_is "50,40,1500,1150" || fail "resize not applied: $(geometry)"
    quit
  else
    rm -rf "$XDG_CONFIG_HOME"
  fi
  QT_SCALE_FACTOR=2 launch
  wait_for 10 fits || fail "the window (remembered: $remembered) does not fit the screen: $(geometry)"
  wait_for 10 floor_and_score_show || fail "floor or score off-screen (remembered: $remembered): $(geometry)"
  quit
done
echo "window scales, is remembered, fits the screen, and --wide stays apart"
