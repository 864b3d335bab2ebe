#!/usr/bin/env bash
# The Windows program: cross-built with mingw-w64, checked to need no DLL
# beyond the system's, its unit tests and the whole end-to-end suite run
# under Wine, and the .zip for Windows made and tried.
set -euo pipefail
cd "$(dirname "$0")/.."

# The cross compiler, Wine, groff for the text manual and zip (Debian
# packages), when they are not there yet.
missing=()
for package in g++-mingw-w64-x86-64-posix wine64 groff-base zip unzip; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# A Wine prefix of this run's own, made before the build runs anything in
# it, and removed at the end.
WINEPREFIX=$(mktemp -d /tmp/quillmark-wine.XXXXXX)
export WINEPREFIX
unpacked=""
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" ${unpacked:+"$unpacked"}
}
trap cleanup EXIT
cmake/wine-run.sh true

toolchain=$PWD/cmake/mingw-w64-x86_64.cmake

# GoogleTest for Windows, from the sources that Debian's libgtest-dev ships.
cmake -S /usr/src/googletest -B build-windows-gtest -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
  -DCMAKE_INSTALL_PREFIX="$PWD/build-windows-gtest/install" >/dev/null
cmake --build build-windows-gtest >/dev/null
cmake --install build-windows-gtest >/dev/null

cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DGTest_DIR="$PWD/build-windows-gtest/install/lib/cmake/GTest"
cmake --build build-windows

# Statically linked: the programs import from system DLLs only.
for program in build-windows/grading/quillmark.exe build-windows/*/quillmark-analyze.exe; do
  [ -e "$program" ] || continue
  imports=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p')
  others=$(grep -viE '^(kernel32|msvcrt|ucrtbase|advapi32|user32|ws2_32|api-ms-win-.*)\.dll$' <<<"$imports" || true)
  if [ -n "$others" ]; then
    echo "$program needs DLLs beside it: $others" >&2
    exit 1
  fi
  echo "$program imports only: $(tr '\n' ' ' <<<"$imports")"
done

# Unit tests and every end-to-end case, each program started under Wine.
ctest --test-dir build-windows --output-on-failure -j2

# The .zip for Windows: the programs, their manual pages as text, the examples.
(cd build-windows && cpack -G ZIP)
zip_file=$(ls build-windows/quillmark-*-win64.zip)
unpacked=$(mktemp -d)
unzip -q "$zip_file" -d "$unpacked"
top="$unpacked/$(basename "$zip_file" .zip)"
for file in quillmark.exe quillmark.txt quillmark-analyze.exe quillmark-analyze.txt \
            examples/quiz1.txt; do
  [ -f "$top/$file" ] || { echo "$zip_file lacks $file" >&2; exit 1; }
done
grep -q "SYNOPSIS" "$top/quillmark.txt"
grep -q "SYNOPSIS" "$top/quillmark-analyze.txt"
# The unpacked program grades the bundled example as the suite expects.
QUILLMARK_PLATFORM=windows QUILLMARK_WRAPPER=$PWD/cmake/wine-run.sh \
  python3 tests/run_case.py "$top/quillmark.exe" tests/e2e/example_quiz1
echo "Windows build, suite and $zip_file: all good"
