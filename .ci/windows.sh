#!/usr/bin/env bash
# The Windows program: cross-built with mingw-w64, checked to need no DLL
# beyond the system's, its unit tests and the whole end-to-end suite run
# under Wine, and the .zip for Windows made and tried, with the toolkit in it
# used by a project of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

# The build tools, the cross compiler, Wine, GoogleTest's sources, Python
# for the cases, groff for the text manual and zip (Debian packages), when
# they are not there yet.
tools/need-packages.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine64 libgtest-dev python3 \
  groff-base zip unzip libcli11-dev nlohmann-json3-dev

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

cmake --preset windows
cmake --build --preset windows

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
# The preset runs a failed test once more: Wine now and then fails to start
# a program ("wine client error:0: recvmsg: Connection reset by peer", when
# it starts as the idle Wine server quits); a fault of the program fails both.
ctest --preset windows

# The .zip for Windows: the programs, their manual pages as text, the
# examples, the toolkit.
rm -f build-windows/quillmark-*-win64.zip
cpack --preset windows
zip_file=$(ls build-windows/quillmark-*-win64.zip)
unpacked=$(mktemp -d)
unzip -q "$zip_file" -d "$unpacked"
top="$unpacked/$(basename "$zip_file" .zip)"
for file in quillmark.exe quillmark.txt quillmark-analyze.exe quillmark-analyze.txt \
            examples/quiz1.txt include/quillmark/stats/running_stats.h \
            lib/cmake/quillmark/quillmarkConfig.cmake; do
  [ -f "$top/$file" ] || { echo "$zip_file lacks $file" >&2; exit 1; }
done
grep -q "SYNOPSIS" "$top/quillmark.txt"
grep -q "SYNOPSIS" "$top/quillmark-analyze.txt"
# The unpacked program grades the bundled example as the suite expects.
QUILLMARK_PLATFORM=windows QUILLMARK_WRAPPER=$PWD/cmake/wine-run.sh \
  python3 tests/run_case.py "$top/quillmark.exe" tests/e2e/example_quiz1
# The toolkit from the unpacked .zip, used by a project of its own, run
# under Wine.
rm -rf build-windows-consumer
cmake -S tests/consumer -B build-windows-consumer -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -Dquillmark_DIR="$top/lib/cmake/quillmark" >/dev/null
cmake --build build-windows-consumer >/dev/null
consumer=$(cmake/wine-run.sh build-windows-consumer/toolkit_consumer.exe)
echo "$consumer"
grep -q 'toolkit works' <<<"$consumer"
rm -rf build-windows-consumer
echo "Windows build, suite and $zip_file: all good"
