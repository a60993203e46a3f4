#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A game flown with the keyboard alone: Enter presses START, the Up arrow held climbs and let go
# falls, Space pauses, Up resumes and climbs into the ceiling, and after the crash a press of Up
# starts over. The sitting is recorded as the left button's presses on the window, and its
# replay saves exactly the table the live game saved; the replay's trace shows the flight.
source "$(dirname "$0")/lib.sh"
start_xvfb

SCORES=$WORK/Cavewing.txt  # none yet: the flight's score is the table's first row
recording=$XDG_DATA_HOME/Cavewing/last-game
start_game --seed 8 --scores "$SCORES"
expect_pixel 6720 4900 "255,0,0"
# The player's own timing, in one go (a look at the window takes a second on a busy machine,
# longer than the helicopter needs to meet the floor or the ceiling): held for a moment, let go
# for a moment, then paused. What happened is read from the replay's trace below.
xdotool key Return keydown Up sleep 0.2 keyup Up sleep 0.3 key space
expect_pixel 10140 800 "0,255,0" 20  # a box of the pause meter went
xdotool keydown Up
wait_for 20 eval 'find_window "^New High Score$" >/dev/null' ||
  fail "no crash and no new high score"
xdotool keyup Up
box=$(find_window '^New High Score$')
xdotool windowfocus --sync "$box" key --clearmodifiers Return
wait_for 20 list_shows || fail "no high-score list after the box"
# Held until START is back: START has the keyboard then, and the release is the game's still.
xdotool windowfocus --sync "$WID" keydown Up
expect_pixel 6720 4900 "255,0,0" 20
xdotool keyup Up
xdotool key ctrl+x
expect_exit 20

# The left button's presses and releases on the window, no key among them (the release of the
# second climb is the one the window makes when the box takes the focus).
! grep -q ' keydown 38 ' "$recording" || fail "Up was recorded as a key: $(cat "$recording")"
"$CAVEWING" --replay "$recording" --headless --trace >"$WORK/trace" || fail "the replay failed"
node - "$WORK/trace" "$recording" "$SCORES" <<'EOF' ||
  fail "the replay is not the flight flown: $(cat "$recording")"
const fs = require('fs');
const [trace, recording, scores] = process.argv.slice(2).map((f) => fs.readFileSync(f, 'utf8'));
const at = new Map(trace.split('\n').filter((l) => l.startsWith('{'))
  .map((l) => JSON.parse(l)).map((g) => [g.grid, g]));
const grids = (pattern) => [...recording.matchAll(new RegExp(`^(\\d+) ${pattern}$`, 'gm'))]
  .map((m) => Number(m[1]));
const down = grids('down form 1 0 0 0'), up = grids('(up form 1 0 0 0|release)');
const pause = grids('keypress 32')[0];
const last = Math.max(...at.keys());
const checks = {
  'three presses of Up, each let go once': down.length === 3 && up.length === 3 &&
    down.every((d, i) => d <= up[i] && (i === 0 || up[i - 1] <= d)),
  'held, it climbs': at.get(up[0]).imgCopter.Top < at.get(down[0]).imgCopter.Top &&
    at.get(up[0]).climbSpeed < 0,
  'let go, it falls': !at.get(pause - 1).timers.tmrUp &&
    at.get(pause - 1).climbSpeed > at.get(up[0]).climbSpeed,
  'pressed in the pause, it climbs into the ceiling': at.get(down[1]).timers.tmrUp &&
    at.get(up[1]).crashed && at.get(up[1]).imgCopter.Top < 5000,
  'after the crash, a press starts over': !at.get(last).gameRunning,
  'the replay saves the table the live game saved': [...at.values()]
    .filter((g) => g.WriteScores !== undefined).pop()?.WriteScores === scores,
};
const failed = Object.keys(checks).filter((k) => !checks[k]);
if (failed.length) { console.error(failed.join('; ')); process.exit(1); }
EOF
echo "flown with the Up arrow, replayed exactly"
