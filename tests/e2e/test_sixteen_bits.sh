#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# On a display of 16-bit pixels, which the game's own puts of its frames do not fit, Qt shows the
# frames: the demo flies, its badge in the corner.
source "$(dirname "$0")/lib.sh"
start_xvfb 1600x1200x16

start_game --demo
expect_pixel 9000 300 "0,255,0"  # the ceiling, over the pause meter
wait_for 10 eval '! field_stands_still' || fail "the demo's frames do not show"
echo "sixteen-bit display ok"
