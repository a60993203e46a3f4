#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The score server's two clients on one table: a game on the desktop (the real program under Xvfb,
# `--scores http://127.0.0.1:PORT`) and a game on the page the server serves (headless Chromium)
# land in the same server table; the page keeps a sitting the server could not take and sends it
# once the server is back (test_server_page.mjs).
#
#   test_clients.sh CAVEWING CAVEWING_SERVER BUILD_WEB_FOLDER
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/e2e/lib.sh"
source "$here/web/lib.sh"
SERVER=$(readlink -f "${2:?usage: $0 CAVEWING CAVEWING_SERVER BUILD_WEB_FOLDER}")
WEB=$(readlink -f "${3:?}")
need_web_build "$WEB/cavewing.wasm" web "page to test"
need_chromium
need_puppeteer

# The server's table in a folder of the test's own, which the unprivileged user root's server
# becomes may write.
chmod 711 "$WORK"
mkdir -m 777 "$WORK/state"
DB=$WORK/state/scores.sqlite
"$SERVER" --listen 127.0.0.1 --port 0 --db "$DB" >"$WORK/server.log" 2>&1 &
SERVER_PID=$!
stop_server() { kill "$SERVER_PID" 2>/dev/null || true; wait "$SERVER_PID" 2>/dev/null || true; }
trap 'stop_server; cleanup' EXIT
listening() { grep -o '127\.0\.0\.1:[0-9]*' "$WORK/server.log"; }
wait_for 30 listening >/dev/null || fail "the server did not start: $(cat "$WORK/server.log")"
URL=http://$(listening)
table() { curl -s "$URL/api/table"; }

# The desktop, as a copy of its own (whose local table is beside it, in the test's folder).
start_xvfb
mkdir -p "$WORK/bin" && cp "$CAVEWING" "$WORK/bin/cavewing" && CAVEWING=$WORK/bin/cavewing
unset NWUSERNAME LOGIN
export USERNAME=deskpilot
start_game --scores "$URL"
expect_pixel 6720 4900 "255,0,0"
click_at 7600 5150
# No press: the helicopter falls into the floor; the list comes, and the new local high score's
# box, which Enter answers. The game goes to the server once the rules have ranked it.
wait_for 15 banner_shows || fail "no YOU CRASHED banner"
wait_for 15 list_shows || fail "no list after the crash"
box_gone() { ! find_window '^New High Score$' >/dev/null; }
if ! box_gone; then
  xdotool windowfocus --sync "$(find_window '^New High Score$')" key --clearmodifiers Return
  wait_for 10 box_gone || fail "the box did not close"
fi
desk_ranked() { table | grep -q '"name":"DESKPILOT"'; }
wait_for 20 desk_ranked || fail "the desktop's game is not in the server's table: $(table)"
grep -q '^generator splitmix64 ' "$HOME/.local/share/Cavewing/last-game" || fail "no recording"
kill -s TERM "$GAME_PID"
expect_exit 10
stop_server

# The page, on the same table, with the server started again by the page's test.
node "$here/web/test_server_page.mjs" "$WEB" "$SERVER" "$DB" DESKPILOT || fail "the page's part"
echo "the desktop's and the page's games are in one server table"
