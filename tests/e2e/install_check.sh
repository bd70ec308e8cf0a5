#!/usr/bin/env bash
# install_check.sh BUILD-FOLDER: installs the build into a temporary prefix and checks what a
# desktop reads: the desktop entry and the AppStream metadata validate, the entry's command is
# installed and starts the launcher of the installed program folder, and its icon is in the theme.
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/install_check.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

entry=$prefix/share/applications/com.tarvenkol.Puzzle.desktop
desktop-file-validate "$entry"
appstreamcli validate --no-net "$prefix/share/metainfo/com.tarvenkol.Puzzle.metainfo.xml"

command=$(sed -n 's/^Exec=//p' "$entry")
[ "$command" = "$prefix/bin/tarvenkol-puzzle" ] || { echo "Exec=$command"; exit 1; }
# The command starts the launcher in the program folder (a stand-in records where).
folder=$prefix/lib/tarvenkol-puzzle
mv "$folder/Puzzle" "$folder/Puzzle.real"
printf '#!/bin/sh\npwd >"%s/started-in"\n' "$prefix" >"$folder/Puzzle"
chmod +x "$folder/Puzzle"
(cd / && "$command")
[ "$(cat "$prefix/started-in")" = "$folder" ] || { echo "launcher started in $(cat "$prefix/started-in")"; exit 1; }

icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 16 32 48 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
    [ "$(identify -format %wx%h "$png")" = "${size}x${size}" ] || { echo "no $size px icon $png"; exit 1; }
done
echo "installed, validated, started"
