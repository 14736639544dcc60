#!/bin/sh
# Installs the build into a fresh prefix: the launcher entry must be valid and
# name a program and an icon (48 px and scalable) that were installed with it.
set -eux
prefix=$2
rm -rf "$prefix"
cmake --install "$1" --prefix "$prefix" > /dev/null
entry="$prefix/share/applications/melvane.desktop"
desktop-file-validate "$entry"
# The program takes the files a file manager opens with it.
grep -qx 'Exec=melvane %F' "$entry"
for type in audio/midi audio/x-wav audio/mpeg; do
    grep '^MimeType=' "$entry" | tr '=;' '\n\n' | grep -qx "$type"
done
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
icon=$(sed -n 's/^Icon=//p' "$entry")
test -x "$prefix/bin/$program"
test -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg"
test "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/48x48/apps/$icon.png")" = 48x48
rm -rf "$prefix"
