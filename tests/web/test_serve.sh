#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `make serve` serves the page and nothing else of the build's folder: the page's files answer,
# the build's own (CMakeCache.txt with its absolute paths, build.ninja, the libraries) and folder
# listings do not.
#
#   test_serve.sh SOURCE_FOLDER BUILD_WEB_FOLDER
set -euo pipefail
source=$1 folder=$2
source "$(dirname "$0")/lib.sh"
need_web_build "$folder/cavewing.wasm" web "page to serve"
work=$(mktemp -d)
server=
finish() {
  [ -n "$server" ] && kill -- "-$server" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

# In a process group of its own, so that make and the server it starts end together. `-o web`:
# the page is built already.
setsid make -s -C "$source" -o web serve WEB="$(realpath "$folder")" \
  SERVE_PORT=$((20000 + RANDOM % 20000)) >"$work/out" 2>&1 &
server=$!
address=
for _ in $(seq 100); do
  address=$(grep -so 'http://127\.0\.0\.1:[0-9]*/' "$work/out" || true)
  [ -n "$address" ] && curl -s -o /dev/null "$address" && break
  address=
  sleep 0.1
done
if [ -z "$address" ]; then
  echo "FAIL: make serve printed no address that answers:"
  cat "$work/out"
  exit 1
fi

status() { curl -s --path-as-is -o /dev/null -w '%{http_code}' "$address$1"; }
failed=0
for path in '' index.html page.js cavewing.js cavewing.wasm assets/heli0.png \
            fonts/DejaVuSans.ttf; do
  [ "$(status "$path")" = 200 ] || { echo "FAIL: /$path is not served"; failed=1; }
done
for path in CMakeCache.txt build.ninja .ninja_log libcavewing_form.a CMakeFiles/ assets/ fonts/ \
            assets/../CMakeCache.txt %2e%2e/CMakeCache.txt; do
  code=$(status "$path")
  [ "$code" = 404 ] || { echo "FAIL: /$path answers $code, not 404"; failed=1; }
done
[ "$failed" = 0 ] && echo "make serve: the page's files, nothing of the build"
exit "$failed"
