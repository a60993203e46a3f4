#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Qt test program (its arguments follow) on an X server of its own, of 24-bit pixels as
# most screens have: the frames' own put works only there.
set -euo pipefail
source "$(dirname "$0")/../../e2e/xvfb.sh"
trap stop_xvfb EXIT
start_xvfb 1600x1200x24
QT_QPA_PLATFORM=xcb "$@"
