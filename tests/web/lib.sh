# SPDX-License-Identifier: MIT
# What the web tests share: the WebAssembly build they test must be there, and the browser.

# Skips (status 77) where emscripten is missing; fails where it is there but `make TARGET` was not
# run, since make test builds it.
need_web_build() {
  local file=$1 target=$2 what=$3
  [ -f "$file" ] && return
  if ! command -v em++ >/dev/null; then
    echo "SKIPPED: em++ is missing, so there is no $what (scripts/setup installs emscripten)"
    exit 77
  fi
  echo "FAIL: $file is missing; make test builds it (make $target)"
  exit 1
}

# Skips (status 77) where there is no browser to drive.
need_chromium() {
  command -v chromium >/dev/null && return
  echo "SKIPPED: chromium is missing (scripts/setup installs it)"
  exit 77
}

# Fails where the DevTools client the tests drive Chromium with is not installed: scripts/setup
# installs it from the lockfile (make test runs it first).
need_puppeteer() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  [ -f "$root/node_modules/puppeteer-core/package.json" ] && return
  echo "FAIL: $root/node_modules has no puppeteer-core; scripts/setup installs it (npm ci)"
  exit 1
}
