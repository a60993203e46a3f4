#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The page in headless Chromium (test_page.mjs), against the WebAssembly build's folder.
#
#   test_page.sh BUILD_WEB_FOLDER [CAVEWING]
set -euo pipefail
folder=$1 here=$(dirname "$0")
if [ ! -f "$folder/cavewing.wasm" ]; then
  if ! command -v em++ >/dev/null; then
    echo "SKIPPED: em++ is missing, so there is no page to test (scripts/setup installs emscripten)"
    exit 77
  fi
  echo "FAIL: $folder/cavewing.wasm is missing; make test builds it (make web)"
  exit 1
fi
if ! command -v chromium >/dev/null; then
  echo "SKIPPED: chromium is missing (scripts/setup installs it)"
  exit 77
fi
exec node --experimental-websocket "$here/test_page.mjs" "$@"
