#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a packager see there.
#   install_tests.sh BUILD_DIR APPLICATION_ID VERSION
set -uo pipefail
build=$1 id=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0 checks=0
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  checks=$((checks + 1))
  if "$@" >"$work/out" 2>&1; then echo "PASS: $what"; else echo "FAIL: $what"; sed 's/^/    /' "$work/out"; failures=$((failures + 1)); fi
}
key() { sed -n "s/^$1=//p" "$prefix/share/applications/$id.desktop"; }
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
equal() { [ "$1" = "$2" ] || { echo "expected '$2', got '$1'"; return 1; }; }
contains() { grep -qF -- "$2" <<<"$1" || { echo "'$2' not in:"; echo "$1"; return 1; }; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; echo "0 passed, 1 failed"; exit 1; }

expected="bin/qicheng
lib/qicheng/libqicheng_browser.so
share/applications/$id.desktop
share/doc/qicheng/changelog.gz
share/doc/qicheng/copyright
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/qicheng.1.gz
share/metainfo/$id.metainfo.xml"
check "exactly the program's files are installed, no test helper" \
  equal "$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" "$expected"
check "the program is executable" test -x "$prefix/bin/qicheng"
for size in 48 128 256; do
  check "the ${size}px icon is ${size}x${size}" equal "$(png_size "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")" "${size}x${size}"
done

check "desktop-file-validate passes" desktop-file-validate "$prefix/share/applications/$id.desktop"
check "appstreamcli validate --no-net passes" appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
check "the entry starts the installed program" test -x "$prefix/bin/$(key Exec | cut -d' ' -f1)"
check "the entry's icon is the installed icon" equal "$(key Icon)" "$id"
check "the entry names the program" equal "$(key Name)" "栖橙"
check "the entry's categories" equal "$(key Categories)" "Network;Office;"
# Qt names a window's class after the application name, which main() sets to the executable's.
check "StartupWMClass is the main window's class" equal "$(key StartupWMClass)" "qicheng"
check "the metainfo launches the entry" grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
  "$prefix/share/metainfo/$id.metainfo.xml"

check "--version prints the project's version" equal "$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/qicheng" --version)" "qicheng $version"
check "the newest AppStream release is this version" \
  grep -qF "<release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml"
check "the newest changelog entry is this version" \
  equal "$(gzip -dc "$prefix/share/doc/qicheng/changelog.gz" | head -1 | sed 's/^qicheng (\([^)]*\)).*/\1/')" "$version"

# The installed program never uses a folder beside itself: without QICHENG_HOME its data
# folder is the user's own; asking for help creates nothing.
help=$(env -u QICHENG_HOME -u DISPLAY HOME="$work/home" XDG_DATA_HOME= "$prefix/bin/qicheng" --help)
check "--help names the per-user data folder" contains "$help" "$work/home/.local/share/qicheng/data"
help=$(env -u DISPLAY QICHENG_HOME="$work/elsewhere" "$prefix/bin/qicheng" --help)
check "--help names \$QICHENG_HOME/data when set" contains "$help" "$work/elsewhere/data"
check "--help created no folder" test ! -e "$work/home" -a ! -e "$work/elsewhere"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
