#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the program refuses on the command line and on disk: pointless option mixes, output that
# cannot be written, a replay that is no regular file; and, as root, saving over a device node.
source "$(dirname "$0")/lib.sh"
REPLAYS=$(cd "$(dirname "$0")/../replays" && pwd)

# expect_status STATUS MESSAGE-PATTERN ARGS...: the program's status and what it says on stderr.
expect_status() {
  local want=$1 pattern=$2 status; shift 2
  timeout 20 "$CAVEWING" "$@" >/dev/null 2>"$WORK/err" && status=0 || status=$?
  [ "$status" -eq "$want" ] || fail "cavewing $* exited $status, not $want: $(cat "$WORK/err")"
  grep -q -- "$pattern" "$WORK/err" || fail "cavewing $* said '$(cat "$WORK/err")', not '$pattern'"
}

expect_status 2 "unknown option '--bogus'" --help --bogus
expect_status 2 "--seed does not go with --replay" --replay "$REPLAYS/long-climb.replay" --headless --seed 5
expect_status 2 "--record does not go with --replay" --replay "$REPLAYS/long-climb.replay" --headless --record "$WORK/x"
# Regression: /dev/zero was read until the memory ran out; a directory was "not a recording".
expect_status 2 "not a regular file" --replay /dev/zero --headless
expect_status 2 "it is a directory" --replay "$WORK" --headless
expect_status 2 "No such file or directory" --replay "$WORK/missing" --headless
# Regression: a failed write of the help or of the outcome was a success.
"$CAVEWING" --help >/dev/full 2>"$WORK/err" && fail "--help >/dev/full succeeded"
grep -q "No space left on device" "$WORK/err" || fail "the help's failed write gave no reason"
"$CAVEWING" --replay "$REPLAYS/long-climb.replay" --headless >/dev/full 2>/dev/null &&
  fail "a headless replay into /dev/full succeeded"

if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the device node cases are skipped"
  exit 0
fi
# Regression: as root, --scores /dev/null and --record /dev/null replaced the device with a text
# file. Device nodes of our own, like /dev/null, so that a failure harms nothing.
mknod "$WORK/null-scores" c 1 3
mknod "$WORK/null-record" c 1 3
start_xvfb
start_game --seed 5 --scores "$WORK/null-scores" --record "$WORK/null-record"
expect_pixel 6720 4900 "255,0,0"
click_at 7600 5150
# The game goes on as usual: a crash, the list, and the ranking that would save; it cannot, so
# it says why on standard error and no box claims a new high score.
table_refused() { grep -q "high scores: not saved" "$WORK/game.log"; }
wait_for 15 table_refused || fail "the ranking's refused save was not reported"
wait_for 15 list_shows || fail "no high-score list after the crash"
! find_window '^New High Score$' >/dev/null || fail "a New High Score box for a table never saved"
pid=$GAME_PID
kill -s TERM "$pid"
expect_exit
for node in null-scores null-record; do
  [ -c "$WORK/$node" ] || fail "$node is no longer a device node"
done
grep -q "not a regular file" "$WORK/game.log" || fail "the refusal was not reported"
