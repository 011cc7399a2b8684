#!/usr/bin/env bash
# Takes the help page's screenshots, DOC/images/*.png: builds the offline
# program with the tests and the 64-bit windowed program, then runs the GUI
# tests under Wine and Xvfb with TASTORA_UPDATE_SCREENSHOTS=1, which drive
# every window and write each one's picture.
#
# Wine's own fonts (Debian package fonts-wine) give the windows the look of
# Windows; without them Wine falls back to the host's fonts.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset debug >/dev/null
cmake --build --preset debug --target tastora tastora_tests
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 --target TastoraGUI

[ -f /usr/share/wine/fonts/tahoma.ttf ] || echo "note: fonts-wine is not installed; the pictures use the host's fonts" >&2
TASTORA_UPDATE_SCREENSHOTS=1 TASTORA_WIN64_GUI_EXE="$PWD/build/mingw-x86_64/TastoraGUI.exe" \
  build/debug/tests/tastora_tests --gtest_filter='WineGui.*'
ls -l DOC/images
