#!/bin/sh
# shellcheck disable=SC2016,SC2020  # the manual must show "$XDG_DATA_HOME" as written; tr turns both = and ; into line breaks
# Installs the build into a fresh prefix: the launcher entry must be valid and
# name a program and an icon that were installed with it, the icon in every
# hicolor size and scalable, with the AppStream description, the manual page
# and the help page beside them, each passing its validator.
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
for size in 16 22 24 32 48 64 128 256; do
  test "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png")" = "${size}x${size}"
done

# The description names the launcher entry and validates.
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml)
test "$(echo "$metainfo" | wc -l)" -eq 1
grep -q "<launchable type=\"desktop-id\">melvane.desktop</launchable>" "$metainfo"
id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
test "$(basename "$metainfo")" = "$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo"

# The manual page renders without a warning and covers the command line and
# the files.
page="$prefix/share/man/man1/melvane.1"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null)
test -z "$warnings"
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null | sed 's/.\x08//g')
for words in 'melvane [FILE...]' '--help' '--version' 'Music.mus' \
  '$XDG_DATA_HOME/melvane/Music.mus' 'DefName.desktop'; do
  echo "$text" | grep -qF -- "$words"
done

# The help page, where the program looks for it beside bin/.
test -s "$prefix/bin/../share/doc/melvane/index.html"
rm -rf "$prefix"
