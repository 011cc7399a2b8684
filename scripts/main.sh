#!/usr/bin/env bash
# The main job on the built-in default: build the program, then work on the
# default Windows root (made on first use in the user's data folder): show the
# layout catalogue and read back the German layout's installed library.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target tastora
build/release/tastora list
root="${XDG_DATA_HOME:-$HOME/.local/share}/tastora/root"
echo
echo "The German layout's library in the default root, as a layout data file (first lines):"
out=$(mktemp)
build/release/tastora export "$root/drive_c/windows/system32/KBDGR.DLL" -o "$out"
head -n 40 "$out"
rm -f "$out"
