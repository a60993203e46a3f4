#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one of the page's tests (a Node script driving headless Chromium) against the
# WebAssembly build's folder; the script gets the folder and what follows it.
#
#   in_chromium.sh TEST.mjs BUILD_WEB_FOLDER [ARGS...]
set -euo pipefail
script=$1 folder=$2 here=$(dirname "$0")
shift
source "$here/lib.sh"
need_web_build "$folder/cavewing.wasm" web "page to test"
need_chromium
need_puppeteer
exec node "$here/$script" "$@"
