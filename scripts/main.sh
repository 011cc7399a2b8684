#!/usr/bin/env bash
# The main job on the built-in default: build the program and run it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target tastora
# Read the demo layout data file and write it back out as markup.
build/release/tastora export examples/tastora-demo.vyr2000
