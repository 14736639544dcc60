#!/usr/bin/env bash
# Installs what is needed, builds the player, writes a few demo tunes of our
# own beside it with a Music.mus that lists them, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j"$(nproc)" --target melvane melvane-maketunes

bin=build/dev/bin
mkdir -p "$bin/demo"
"$bin/melvane-maketunes" "$bin/demo" > "$bin/demo/list.txt"
# Keep a playlist the user has already edited; start a new one otherwise.
if [ ! -s "$bin/Music.mus" ]; then
  while IFS= read -r tune; do
    printf '%s\r\n' "$(realpath "$tune")"
  done < "$bin/demo/list.txt" > "$bin/Music.mus"
fi
echo "melvane is in the tray: double-click its icon for the window, right-click for the menu."
exec "$bin/melvane"
