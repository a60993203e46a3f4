#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `cmake --install` into a temporary prefix puts every file of a desktop game in place, and the
# desktop entry, the AppStream metainfo and the man page agree with the program and pass the
# validators.
# Usage: test_install.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

id=org.cavewing.Cavewing
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
cd "$tmp/prefix"

[ -x games/cavewing ] || fail "games/cavewing missing or not executable"
for f in share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/man/man6/cavewing.6.gz \
         share/doc/cavewing/copyright share/doc/cavewing/changelog.gz; do
  [ -s "$f" ] || fail "$f missing"
done

# PNG width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3*256+$4 "x" $7*256+$8 }'; }
for size in 16 22 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -s "$icon" ] || fail "$icon missing"
  [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon"), not ${size}x${size}"
done

desktop-file-validate share/applications/$id.desktop || fail "desktop-file-validate"
# No error and no warning, pedantic hints shown. Debian 12's AppStream (0.16) does not know the
# <developer> tag that stores read yet, and notes a required pointer as unusual: both only infos.
report=$(appstreamcli validate --pedantic --no-net share/metainfo/$id.metainfo.xml) ||
  fail "appstreamcli validate: $report"
! grep -E '^[EW]:' <<<"$report" || fail "appstreamcli validate warns"
grep -q '<project_license>MIT</project_license>' share/metainfo/$id.metainfo.xml || fail "no MIT licence"

# The desktop entry starts the installed program and names the installed icon.
entry() { sed -n "s/^$1=//p" share/applications/$id.desktop; }
[ "$(entry Exec)" = cavewing ] || fail "Exec is '$(entry Exec)'"
[ "$(entry Icon)" = $id ] || fail "Icon is '$(entry Icon)'"
grep -qx 'Categories=.*\bGame;.*' share/applications/$id.desktop &&
  grep -q 'ArcadeGame;' share/applications/$id.desktop || fail "categories"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" share/metainfo/$id.metainfo.xml ||
  fail "metainfo does not launch $id.desktop"

# The release in the metainfo and the man page is the program's own version.
version=$(games/cavewing --version | awk 'NR == 1 { print $2 }')
games/cavewing --version | grep -q 'MIT licence' || fail "--version does not name the MIT licence"
grep -q "<release version=\"$version\"" share/metainfo/$id.metainfo.xml ||
  fail "metainfo has no release $version"
man_page=$(zcat share/man/man6/cavewing.6.gz)
grep -q "^\.TH CAVEWING 6 .*\"Cavewing $version\"" <<<"$man_page" ||
  fail "man page is not for version $version"

# Every option that --help lists has its own entry among the man page's options (the line after
# each .TP).
described=$(awk '/^\.TP/ { getline; print }' <<<"$man_page" | sed 's/\\-/-/g' |
  grep -oE -- '(^|[ "])-[-a-z]+' | tr -d ' "')
options=$(games/cavewing --help | grep -oE '^ +-[-a-z]+(, --[a-z]+)?' | grep -oE -- '-[-a-z]+')
[ -n "$options" ] || fail "no options found in --help"
for option in $options; do
  grep -qx -- "$option" <<<"$described" || fail "man page lacks $option"
done
echo "install tree complete, validators pass, man page covers:" $options
