#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The page in headless Chromium (test_page.mjs), against the WebAssembly build's folder.
#
#   test_page.sh BUILD_WEB_FOLDER [CAVEWING]
set -euo pipefail
folder=$1 here=$(dirname "$0")
source "$here/lib.sh"
need_web_build "$folder/cavewing.wasm" web "page to test"
need_chromium
exec node --experimental-websocket "$here/test_page.mjs" "$@"
