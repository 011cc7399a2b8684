#!/usr/bin/env bash
# Draws the example layouts for the README and the help page,
# DOC/pictures/NAME.svg from examples/NAME.vyr2000, with the command-line
# program built from this tree.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset debug >/dev/null
cmake --build --preset debug --target tastora
mkdir -p DOC/pictures
for example in examples/*.vyr2000; do
  name=$(basename "$example" .vyr2000)
  build/debug/tastora picture "$example" -o "DOC/pictures/$name.svg"
done
ls -l DOC/pictures
