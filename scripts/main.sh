#!/usr/bin/env bash
# The main job on the built-in default: build the program, then install the
# demo layout data file over the German layout of the default Windows root
# (made on first use in the user's data folder) and show the catalogue before
# and after.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target tastora
tastora=build/release/tastora

$tastora list
echo
# Position 2 is the German layout of the default root.
$tastora install 2 examples/tastora-demo.vyr2000 --yes
echo
$tastora list
root="${XDG_DATA_HOME:-$HOME/.local/share}/tastora/root"
file=$($tastora list --tsv | awk -F'\t' '$1 == 2 { print $10 }')
echo
echo "The installed 64-bit library $file read back as a layout data file (first lines):"
out=$(mktemp)
$tastora export "$root/drive_c/windows/system32/$file" -o "$out"
head -n 30 "$out"
rm -f "$out"
