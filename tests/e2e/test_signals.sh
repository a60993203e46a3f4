#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# An ending the player did not choose leaves a playable recording: SIGTERM, SIGHUP (a logout) and
# the X server going away, each in flight; and the demo records its games in the file asked for,
# keeping no table and no last game.
source "$(dirname "$0")/lib.sh"

end_grid() { awk '$1 == "end" { print $2 }' "$1" 2>/dev/null; }
has_file() { [ -s "$1" ]; }
# The recording on disk has caught up with at least $2 grid points of play.
caught_up() { local g; g=$(end_grid "$1") && [ -n "$g" ] && [ "$g" -ge "$2" ]; }
expect_playable() {
  local out
  out=$("$CAVEWING" --replay "$1" --headless 2>&1) || fail "$2: the recording does not replay: $out"
  grep -q '^score [0-9]' <<<"$out" || fail "$2: no score from the replay: $out"
}
# Starts a flight recorded in $1 and waits until it is on disk.
fly_recorded() {
  start_game --seed 5 --record "$1" --scores "$WORK/scores.txt"
  expect_pixel 6720 4900 "255,0,0"
  click_at 7600 5150
  wait_for 10 has_file "$1" || fail "no recording on disk after START"
}

for signal in TERM HUP; do
  start_xvfb
  fly_recorded "$WORK/$signal.replay"
  pid=$GAME_PID
  kill -s "$signal" "$pid"
  expect_exit
  wait "$pid" && status=0 || status=$?
  [ "$status" -eq $((128 + $(kill -l "$signal"))) ] || fail "SIG$signal ended the program with status $status"
  expect_playable "$WORK/$signal.replay" "SIG$signal"
  stop_xvfb
done

# The display goes away: the recording is as fresh as the last second of play.
start_xvfb
fly_recorded "$WORK/x.replay"
start=$(awk '$2 == "start" { print $1; exit }' "$WORK/x.replay")
wait_for 10 caught_up "$WORK/x.replay" $((start + 32)) || fail "the recording on disk did not follow the play"
stop_xvfb
expect_exit
expect_playable "$WORK/x.replay" "X server gone"

# The demo's games in the file asked for; no table, no last game.
start_xvfb
start_game --demo --record "$WORK/demo.replay" --scores "$WORK/demo-scores.txt"
wait_for 20 caught_up "$WORK/demo.replay" 300 || fail "the demo's games were not recorded"
grep -q ' down form 1 0 ' "$WORK/demo.replay" || fail "the pilot's presses were not recorded"
kill -s TERM "$GAME_PID"
expect_exit
expect_playable "$WORK/demo.replay" "demo"
[ ! -e "$WORK/demo-scores.txt" ] || fail "the demo wrote the table"
[ -z "$(find "$HOME" -name last-game)" ] || fail "the demo wrote a last game"
