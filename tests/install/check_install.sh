#!/bin/sh
# Installs the build into a scratch prefix, as a user would with
# `cmake --install BUILD --prefix ~/.local`, and checks what the desktop finds there.
# Arguments: the cmake program, the build folder.
set -eu
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

fail() {
  echo "$*" >&2
  exit 1
}
[ -x "$prefix/bin/quillet" ] || fail "bin/quillet is not installed"
"$prefix/bin/quillet" --version >/dev/null || fail "the installed quillet does not run"
entry="$prefix/share/applications/quillet.desktop"
[ -f "$entry" ] || fail "share/applications/quillet.desktop is not installed"
command -v desktop-file-validate >/dev/null 2>&1 ||
  fail "desktop-file-validate is needed (Debian package desktop-file-utils: scripts/install-deps.sh)"
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
grep -qx 'Name=くいれっと' "$entry" || fail "the entry is not named くいれっと"
grep -qx 'Exec=quillet' "$entry" || fail "the entry does not start quillet"
# The icon the entry names must be in the hicolor theme.
icon=$(sed -n 's/^Icon=//p' "$entry")
found=$(find "$prefix/share/icons/hicolor" -name "$icon.svg" -o -name "$icon.png" 2>/dev/null | head -n 1)
[ -n "$found" ] || fail "no icon '$icon' in share/icons/hicolor"
echo "installed and valid: $entry, $found"
