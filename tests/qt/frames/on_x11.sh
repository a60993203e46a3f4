#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Qt test program (its arguments follow the first) on an X server of its own, of pixels
# of the depth the first argument names: 24 bits as most screens have, where the frames' own put
# works, or 16.
set -euo pipefail
source "$(dirname "$0")/../../e2e/xvfb.sh"
trap stop_xvfb EXIT
start_xvfb "1600x1200x$1"
QT_QPA_PLATFORM=xcb "${@:2}"
