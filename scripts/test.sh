#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds with warnings as
# errors, compiles the Windows builds, runs the fuzzers briefly, then runs the
# tests under AddressSanitizer + UndefinedBehaviorSanitizer (an unoptimised
# build with assertions) and natively on the release build, every target of
# it (benchmarks included) built at -O3, where the compiler warns of more.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-20}

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
}

echo "== Windows builds (MinGW-w64 i686 and x86_64)"
build mingw-i686
build mingw-x86_64

echo "== Windows programs (subsystem, machine, manifest, version, icon, imports)"
/usr/bin/python3 scripts/check-windows-exe.py build/mingw-i686/tastora.exe console i386
/usr/bin/python3 scripts/check-windows-exe.py build/mingw-i686/TastoraGUI.exe gui i386
/usr/bin/python3 scripts/check-windows-exe.py build/mingw-x86_64/tastora.exe console amd64
/usr/bin/python3 scripts/check-windows-exe.py build/mingw-x86_64/TastoraGUI.exe gui amd64

echo "== Release archive"
archive=$(scripts/package.sh --no-build | tail -n 1)
python3 - "$archive" <<'PY'
import sys
import zipfile
names = set(zipfile.ZipFile(sys.argv[1]).namelist())
wanted = ["TastoraGUI.exe", "tastora.exe", "x64/TastoraGUI.exe", "x64/tastora.exe", "README.md",
          "DOC/index.html", "examples/tastora-demo.vyr2000"]
missing = [name for name in wanted if name not in names]
if missing:
    sys.exit(f"{sys.argv[1]} lacks " + ", ".join(missing))
print(f"{sys.argv[1]}: {len(names)} files")
PY

echo "== Fuzzing (${FUZZ_SECONDS}s per target)"
build fuzz
for fuzzer in build/fuzz/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds+=("fuzz/seeds/$name")
  [ "$name" = fuzz_import_layout_file ] && seeds+=(examples)
  "$fuzzer" -max_total_time="$FUZZ_SECONDS" -max_len=65536 -print_final_stats=0 "$corpus" "${seeds[@]}" 2>&1 | tail -n 3
done

echo "== Tests under AddressSanitizer + UndefinedBehaviorSanitizer"
build sanitize
ctest --preset sanitize -j "$jobs"

echo "== Tests (release build, benchmarks included)"
build release
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== Installation (program, manual page, completions) and the Debian package"
staged=$(mktemp -d)
trap 'rm -rf "$staged"' EXIT
cmake --install build/release --prefix "$staged/usr" >/dev/null
test -x "$staged/usr/bin/tastora"
# The manual page renders without a warning from groff.
rendered=$(groff -man -Tutf8 -ww -z "$staged/usr/share/man/man1/tastora.1" 2>&1)
[ -z "$rendered" ] || { echo "$rendered"; exit 1; }
bash -n "$staged/usr/share/bash-completion/completions/tastora"
if command -v zsh >/dev/null; then zsh -n "$staged/usr/share/zsh/vendor-completions/_tastora"; fi
(cd build/release && cpack -G DEB -B "$staged/deb" >/dev/null)
contents=$(dpkg-deb -c "$staged"/deb/tastora_*.deb)
for file in ./usr/bin/tastora ./usr/share/man/man1/tastora.1 ./usr/share/bash-completion/completions/tastora \
            ./usr/share/zsh/vendor-completions/_tastora; do
  grep -q " $file\$" <<<"$contents" || { echo "the package lacks $file"; exit 1; }
done
echo "$(ls "$staged"/deb/tastora_*.deb | xargs basename): $(grep -c . <<<"$contents") entries"
