#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The page's pictures in flight against the desktop's (test_pixels.mjs), in headless Chromium.
#
#   test_pixels.sh BUILD_WEB_FOLDER COMPARE_FIELD RECORDING GRID...
set -euo pipefail
folder=$1 here=$(dirname "$0")
source "$here/lib.sh"
need_web_build "$folder/cavewing.wasm" web "page to test"
need_chromium
exec node --experimental-websocket "$here/test_pixels.mjs" "$@"
