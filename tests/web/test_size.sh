#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The page's program stays small to fetch: cavewing.wasm and cavewing.js under 250 KB gzipped,
# fonts and pictures aside.
#
#   test_size.sh BUILD_WEB_FOLDER
set -euo pipefail
folder=$1 limit=$((250 * 1024))
if [ ! -f "$folder/cavewing.wasm" ]; then
  command -v em++ >/dev/null || { echo "SKIPPED: em++ is missing (scripts/setup installs emscripten)"; exit 77; }
  echo "FAIL: $folder/cavewing.wasm is missing; make test builds it (make web)"
  exit 1
fi
bytes=$(gzip -9 <"$folder/cavewing.wasm" | wc -c)
bytes=$((bytes + $(gzip -9 <"$folder/cavewing.js" | wc -c)))
echo "cavewing.wasm + cavewing.js: $bytes bytes gzipped (limit $limit)"
[ "$bytes" -lt "$limit" ] || { echo "FAIL: the page's program grew past $limit bytes gzipped"; exit 1; }
