#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The .deb that `make package` builds: lintian finds no error and no warning in it, its
# dependencies name the Debian 12 libraries the program needs, and the program unpacked from it
# (dpkg-deb -x, no installing) starts under Xvfb and paints the red START button at its place.
# Usage: test_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../e2e/xvfb.sh"
tmp=$(mktemp -d)
app=
cleanup() {
  if [ -n "$app" ]; then
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
  fi
  stop_xvfb
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1) ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$(ls "$tmp"/out/cavewing_*_amd64.deb 2>/dev/null | head -1) || true
[ -n "$deb" ] || fail "no .deb built"

if command -v lintian >/dev/null; then
  # Errors and warnings fail; infos and the note on running as root do not.
  lintian_report=$(lintian "$deb" 2>&1) || true
  ! grep -E '^[EW]: ' <<<"$lintian_report" || fail "lintian reports errors or warnings"
else
  echo "lintian is missing (scripts/setup installs it): the package goes unchecked by it"
fi

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-liberation; do
  grep -qE "(^|, |\| )${lib//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section is not games"

dpkg-deb -x "$deb" "$tmp/root"
program=$tmp/root/usr/games/cavewing
[ -x "$program" ] || fail "usr/games/cavewing not in the package"
for f in applications/org.cavewing.Cavewing.desktop metainfo/org.cavewing.Cavewing.metainfo.xml \
         icons/hicolor/256x256/apps/org.cavewing.Cavewing.png man/man6/cavewing.6.gz \
         doc/cavewing/copyright doc/cavewing/changelog.gz; do
  [ -s "$tmp/root/usr/share/$f" ] || fail "usr/share/$f not in the package"
done

start_xvfb 1280x1024x24
export XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR
"$program" --seed 1 & app=$!
wait_for 20 find_window Cavewing >/dev/null || fail "no window within 20 s"
window=$(find_window Cavewing)
eval "$(xdotool getwindowgeometry --shell "$window")"
# Desktops group the window under the menu entry by its class.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$tmp/root/usr/share/applications/org.cavewing.Cavewing.desktop")
xprop -id "$window" WM_CLASS | grep -q ", \"$wm_class\"$" ||
  fail "$(xprop -id "$window" WM_CLASS) does not match StartupWMClass=$wm_class"
# The playfield fills the window under the menu bar at 15 twips a pixel; START spans twips
# 6600..8600 x 4650..5655, its caption in the middle: look above the caption, inside the border.
x=$((X + 6900 / 15)) y=$((Y + HEIGHT - 722 + 4800 / 15))
red() { read -r r g b <<<"$(pixel_at "$x" "$y")"; [ "${r:-0}" -gt 200 ] && [ "${g:-255}" -lt 60 ] && [ "${b:-255}" -lt 60 ]; }
wait_for 20 red || fail "START is not painted red at ($x, $y): $(pixel_at "$x" "$y")"
xdotool windowfocus --sync "$window" key ctrl+x
wait_for 20 eval '! kill -0 "$app" 2>/dev/null' || fail "the program did not end on Ctrl+X"
wait "$app" || fail "the program ended with status $?"
app=
# An installed copy keeps the scores in the player's data folder, never beside the program: for
# root, who may write there, as for an ordinary player, who may not.
as_player() { if [ "$1" = "$(id -un)" ]; then "${@:2}"; else runuser -u "$1" -- "${@:2}"; fi; }
play_to_a_high_score() {
  local player=$1 player_home=$tmp/home-$1
  mkdir -p "$player_home" && chown "$player" "$player_home"
  as_player "$player" env -i DISPLAY="$DISPLAY" HOME="$player_home" USERNAME=player \
    QT_QPA_PLATFORM=xcb "$program" --seed 1 & app=$!
  wait_for 20 find_window '^ Cavewing$' >/dev/null || fail "no window for $player within 20 s"
  window=$(find_window '^ Cavewing$')
  xdotool mousemove --window "$window" $((6900 / 15)) $((HEIGHT - 722 + 4800 / 15)) click 1
  # The helicopter falls into the floor; the list ranks the first score and saves it.
  wait_for 30 find_window '^New High Score$' >/dev/null || fail "no new high score for $player"
  scores=$player_home/.local/share/Cavewing/Cavewing.txt
  [ "$(grep -c $'\r$' "$scores" 2>/dev/null)" = 30 ] || fail "$player's table is not in $scores"
  grep -q '^"PLAYER"' "$scores" || fail "$player's row is not in $scores"
  [ ! -e "$tmp/root/usr/games/Cavewing.txt" ] || fail "the installed copy wrote beside the program"
  # runuser passes no signal on: the program, its child, is ended first.
  kill $(pgrep -P "$app") "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=
  # The next player must not find this one's windows.
  wait_for 20 eval '! find_window "^ Cavewing$" >/dev/null && ! find_window "^New High Score$" >/dev/null' ||
    fail "$player's windows stayed"
}
chmod 755 "$tmp"
play_to_a_high_score "$(id -un)"
if [ "$(id -u)" = 0 ] && id nobody >/dev/null 2>&1; then play_to_a_high_score nobody; fi

echo "package ok: $(basename "$deb"); Depends: $depends; START painted at ($x, $y)"
