#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `make serve` serves the page and nothing else of the build's folder: the page's files answer,
# the build's own (CMakeCache.txt with its absolute paths, build.ninja, the libraries) and folder
# listings do not. Text goes compressed, every file with its cache lifetime.
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
            fonts/DejaVuSans.woff2 fonts/DejaVuSans-latin.woff2 sw.js manifest.webmanifest; do
  [ "$(status "$path")" = 200 ] || { echo "FAIL: /$path is not served"; failed=1; }
done
for path in CMakeCache.txt build.ninja .ninja_log libcavewing_form.a CMakeFiles/ assets/ fonts/ \
            assets/../CMakeCache.txt %2e%2e/CMakeCache.txt; do
  code=$(status "$path")
  [ "$code" = 404 ] || { echo "FAIL: /$path answers $code, not 404"; failed=1; }
done

# Text goes gzipped to a browser that takes it, and unpacks to the file itself; each file says how
# long it may be kept: the page's code and its service worker are asked for again each time (and
# answered 304 when unchanged), the fonts and pictures kept for a while.
header() { curl -s -o /dev/null -D - -H 'Accept-Encoding: gzip' "$address$1" | tr -d '\r' |
           sed -n "s/^$2: //Ip"; }
for path in index.html cavewing.wasm page.js; do
  [ "$(header "$path" Content-Encoding)" = gzip ] || { echo "FAIL: /$path is not sent gzipped"; failed=1; }
  curl -s -H 'Accept-Encoding: gzip' "$address$path" | gunzip | cmp -s - "$folder/$path" ||
    { echo "FAIL: /$path gzipped is not the file"; failed=1; }
done
[ -z "$(header fonts/DejaVuSans-latin.woff2 Content-Encoding)" ] ||
  { echo "FAIL: WOFF2, compressed already, is gzipped again"; failed=1; }
for path in '' index.html sw.js cavewing.wasm; do
  [ "$(header "$path" Cache-Control)" = no-cache ] ||
    { echo "FAIL: /$path may be kept unasked: $(header "$path" Cache-Control)"; failed=1; }
done
for path in fonts/DejaVuSans-latin.woff2 assets/heli0.png; do
  [[ "$(header "$path" Cache-Control)" =~ max-age=[0-9]{5,} ]] ||
    { echo "FAIL: /$path has no lifetime: $(header "$path" Cache-Control)"; failed=1; }
done
tag=$(header page.js ETag)
code=$(curl -s -o /dev/null -w '%{http_code}' -H 'Accept-Encoding: gzip' -H "If-None-Match: $tag" \
       "${address}page.js")
[ -n "$tag" ] && [ "$code" = 304 ] || { echo "FAIL: an unchanged page.js answers $code, not 304"; failed=1; }
[ "$failed" = 0 ] && echo "make serve: the page's files, nothing of the build, compressed, with lifetimes"
exit "$failed"
