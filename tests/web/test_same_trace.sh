#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One game everywhere: every recording in tests/replays and a set of generated sittings, replayed
# headless by the desktop program and by its WebAssembly build in Node, print the same trace byte
# for byte, and the damaged recordings of the fuzz corpus are refused with the same words.
#
#   test_same_trace.sh CAVEWING HEADLESS_JS MAKE_RECORDINGS TESTS_FOLDER [COUNT]
set -euo pipefail
native=$1 wasm=$2 make_recordings=$3 tests=$4 count=${5:-50}

source "$(dirname "$0")/lib.sh"
need_web_build "$wasm" web-headless "WebAssembly build to compare"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_recordings" "$work" "$count"

# What a program prints for a recording: standard output and error, then its exit status.
run() { "$@" 2>&1 && echo "exit 0" || echo "exit $?"; }

failed=0 compared=0
compare() {
  local file=$1
  shift
  compared=$((compared + 1))
  if ! cmp -s <(run "$native" --replay "$file" "$@") <(run node "$wasm" --replay "$file" "$@"); then
    failed=$((failed + 1))
    echo "DIFFERENT: $file $*"
    diff <(run "$native" --replay "$file" "$@") <(run node "$wasm" --replay "$file" "$@") |
      head -c 3000 || true
    echo
  fi
}

for file in "$tests"/replays/*.replay "$work"/*.replay; do compare "$file" --headless --trace; done
for file in "$tests"/fuzz/recording-corpus/*; do compare "$file" --headless; done

echo "$compared compared, $failed different"
[ "$failed" -eq 0 ]
