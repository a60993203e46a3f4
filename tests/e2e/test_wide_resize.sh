#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window made wider than the cave after it loaded: the picture scales, the game does not
# change. The demo's pilot flies in a window resized to 1920 px, and within one flight the middle
# obstacle leaves on the left and comes back from the right, again and again, as in the normal
# window. (Kept out: the obstacle came back by the window's live width, so a wide window met it
# once and never again.)
# Usage: test_wide_resize.sh PROGRAM
source "$(dirname "$0")/lib.sh"
unset QT_SCALE_FACTOR
export XDG_CONFIG_HOME=$WORK/config QT_QPA_PLATFORM=xcb

start_xvfb 1920x1200x24
start_game --demo --seed 4
xdotool windowmove "$WID" 0 0 windowsize "$WID" 1920 $((MENU_H + 1000))
grown() { eval "$(xdotool getwindowgeometry --shell "$WID")"; [ "$WIDTH" = 1920 ]; }
wait_for 10 grown || fail "the window was not resized to 1920 px"

# One look at the window: "ready", "list" (no cave: the list is up), "obstacle" (a green block
# with open cave above and below it somewhere in the cave) or "cave".
look() {
  "$IMPORT" -window "$WID" -depth 8 rgb:"$WORK/shot.rgb" 2>/dev/null || return 1
  python3 - "$WORK/shot.rgb" 1920 $((MENU_H + 1000)) "$MENU_H" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
width, height, menu = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
scale = min(width / 1016, (height - menu) / 722)
left = (width - 1016 * scale) / 2
top = menu + ((height - menu) - 722 * scale) / 2
def green(x, y):
    i = 3 * (y * width + x)
    r, g, b = data[i], data[i + 1], data[i + 2]
    return g > 200 and r < 60 and b < 60
def at(tx, ty):
    return int(left + tx / 15 * scale), int(top + ty / 15 * scale)
# Below the labels and the pause meter, down to the foot of the field.
y0, y1 = at(0, 1100)[1], at(0, 10800)[1]
floors = obstacle = 0
for tx in range(300, 15240, 240):
    x = at(tx, 0)[0]
    column = [green(x, y) for y in range(y0, y1)]
    floors += column[-1]
    runs, inside, start = [], False, 0
    for n, g in enumerate(column):
        if g and not inside:
            inside, start = True, n
        elif not g and inside:
            inside = False
            runs.append((start, n))
    # Closed runs only: the floor's runs on to the foot. One that starts below the top hangs free.
    obstacle += any(a > 0 for a, b in runs)
print("list" if floors < 10 else "obstacle" if obstacle >= 2 else "cave")
PY
}

# Counts the obstacle's comings within one flight; a list on the way starts the count again.
comings=0 seen=no state=
deadline=$((SECONDS + 60 * PATIENCE))
while [ $SECONDS -lt $deadline ] && [ $comings -lt 3 ]; do
  state=$(look) || continue
  case $state in
    list) comings=0 seen=no ;;
    obstacle) [ $seen = no ] && comings=$((comings + 1)); seen=yes ;;
    cave) seen=no ;;
  esac
done
[ $comings -ge 3 ] || fail "in a 1920 px window the obstacle came $comings time(s) in one flight"
kill "$GAME_PID"
wait "$GAME_PID" 2>/dev/null || true
GAME_PID=

# A game recorded in a window resized wide replays headless to the score the window ranked.
start_game --seed 5 --scores "$WORK/Cavewing.txt" --record "$WORK/wide.replay"
xdotool windowsize "$WID" 1920 $((MENU_H + 1000))
wait_for 10 grown || fail "the window was not resized to 1920 px"
xdotool windowfocus --sync "$WID" key space  # START has the keyboard
wait_for 20 find_window '^New High Score$' >/dev/null || fail "no New High Score message box"
xdotool windowfocus --sync "$(find_window '^New High Score$')" key --clearmodifiers Return
ranked() { [ "$(sed -n 2p "$WORK/Cavewing.txt" | tr -d '"\r')" -gt 0 ] 2>/dev/null; }
wait_for 10 ranked || fail "the table holds no score"
shown=$(sed -n 2p "$WORK/Cavewing.txt" | tr -d '"\r')
xdotool windowfocus --sync "$WID" key ctrl+x
expect_exit 10
grep -qx 'outer-width 15360' "$WORK/wide.replay" || fail "recorded $(grep outer-width "$WORK/wide.replay")"
replayed=$("$CAVEWING" --replay "$WORK/wide.replay" --headless)
[ "$replayed" = "$(printf 'score %s\nphase crashed' "$shown")" ] ||
  fail "the window ranked $shown; the replay says: $replayed"
echo "a window resized to 1920 px still meets the obstacle again and again, and replays exactly"
