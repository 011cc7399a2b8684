#!/usr/bin/env bash
# The release archive of the Windows programs:
#
#   build/package/tastora-VERSION-windows.zip
#     TastoraGUI.exe, tastora.exe        32-bit, the shipped form
#     x64/TastoraGUI.exe, x64/tastora.exe
#     DOC/, examples/, README.md, and the licence file when there is one
#
# Builds the two MinGW-w64 builds first (build/mingw-i686 and
# build/mingw-x86_64, configured from their presets when they are not yet),
# or with --no-build takes the programs as they are. TASTORA_I686_BUILD,
# TASTORA_X64_BUILD and TASTORA_PACKAGE_DIR name other folders. The archive
# is written with Python's zipfile; its last line of output is its path.
set -euo pipefail
cd "$(dirname "$0")/.."

i686=${TASTORA_I686_BUILD:-build/mingw-i686}
x64=${TASTORA_X64_BUILD:-build/mingw-x86_64}
out=${TASTORA_PACKAGE_DIR:-build/package}
build=1
case "${1:-}" in
  --no-build) build=0 ;;
  "") ;;
  *) echo "usage: scripts/package.sh [--no-build]" >&2; exit 2 ;;
esac

version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no project version in CMakeLists.txt" >&2; exit 1; }

build_windows() {  # DIR PRESET
  local dir=$1 preset=$2
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    if [ "$dir" = "build/$preset" ]; then
      cmake --preset "$preset" >/dev/null
    else
      cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$preset.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
  fi
  cmake --build "$dir" --target tastora TastoraGUI -j "$(nproc)"
}
if [ "$build" = 1 ]; then
  build_windows "$i686" mingw-i686
  build_windows "$x64" mingw-x86_64
fi

licence=
for name in LICENSE LICENSE.txt LICENSE.md LICENCE LICENCE.txt COPYING COPYING.txt; do
  if [ -f "$name" ]; then licence=$name; break; fi
done
[ -n "$licence" ] || echo "package: the repository has no licence file; the archive goes without one" >&2

mkdir -p "$out"
archive="$out/tastora-$version-windows.zip"
python3 - "$archive" "$i686" "$x64" "$licence" <<'PY'
import os
import sys
import zipfile

archive, i686, x64, licence = sys.argv[1:5]

# (name in the archive, file on disk)
entries = [
    ("TastoraGUI.exe", os.path.join(i686, "TastoraGUI.exe")),
    ("tastora.exe", os.path.join(i686, "tastora.exe")),
    ("x64/TastoraGUI.exe", os.path.join(x64, "TastoraGUI.exe")),
    ("x64/tastora.exe", os.path.join(x64, "tastora.exe")),
    ("README.md", "README.md"),
]
if licence:
    entries.append((licence, licence))
for folder in ("DOC", "examples"):
    for root, dirs, files in os.walk(folder):
        # Not the hidden ones (.gitkeep and the like).
        dirs[:] = sorted(d for d in dirs if not d.startswith("."))
        for name in sorted(f for f in files if not f.startswith(".")):
            path = os.path.join(root, name)
            entries.append((path.replace(os.sep, "/"), path))

missing = [path for _, path in entries if not os.path.isfile(path)]
if missing:
    sys.exit("package: missing " + ", ".join(missing))

# Written beside, then renamed: a run cut short leaves no half archive.
partial = archive + ".partial"
with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for name, path in entries:
        info = zipfile.ZipInfo.from_file(path, name)
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as f:
            z.writestr(info, f.read())
with zipfile.ZipFile(partial) as z:
    bad = z.testzip()
    if bad:
        sys.exit(f"package: {bad} did not read back")
os.replace(partial, archive)
PY
echo "$archive"
