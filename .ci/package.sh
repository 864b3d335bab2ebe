#!/usr/bin/env bash
# Install and packages on Linux: a release build, its .deb, the package
# unpacked into a scratch root and then installed with apt, the installed
# quillmark grading the bundled example, the manual pages of both programs,
# the toolkit used by a project of its own through find_package(quillmark),
# and the package removed again.
set -euo pipefail
cd "$(dirname "$0")/.."

# What the package build and its trials need (Debian packages), when it is
# not there yet.
tools/need-packages.sh cmake ninja-build g++ dpkg-dev gzip man-db python3 libcli11-dev \
  nlohmann-json3-dev

rm -f build-package/quillmark_*.deb
cmake --workflow --preset package
deb=$(ls "$PWD"/build-package/quillmark_*.deb)
dpkg-deb --info "$deb"

# Every case of the example batch is checked the way the suite checks it.
grade_example() { # <quillmark program>
  python3 tests/run_case.py "$1" tests/e2e/example_quiz1
}
consumer_against() { # <prefix or empty for the system's>
  rm -rf build-consumer
  cmake -S tests/consumer -B build-consumer -G Ninja ${1:+-DCMAKE_PREFIX_PATH="$1"} >/dev/null
  cmake --build build-consumer >/dev/null
  build-consumer/toolkit_consumer
}

# 1. Unpacked into a scratch root: the package's own files, nothing else.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
grade_example "$root/usr/bin/quillmark"
for page in quillmark quillmark-analyze; do
  [ -f "$root/usr/share/man/man1/$page.1.gz" ] || { echo "the package lacks $page.1.gz" >&2; exit 1; }
done
consumer_against "$root/usr"
# Each installed header compiles alone, found as <quillmark/...> in the
# unpacked include folder: the headers it includes are installed beside it.
headers=$(cd "$root/usr/include" && find quillmark -name '*.h' | sort)
[ -n "$headers" ] || { echo "the package has no toolkit header" >&2; exit 1; }
for header in $headers; do
  printf '#include <%s>\n' "$header" |
    g++ -std=c++17 -Wall -Wextra -Werror -fsyntax-only -I"$root/usr/include" -x c++ -
done
echo "installed headers, each alone: $(tr '\n' ' ' <<<"$headers")"

# 2. Installed with apt (as root, the way CI runs): the program on the PATH,
#    the manual page found by man, the toolkit found without any hint; then
#    removed, leaving none of its files behind.
if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
  installed=$(dpkg -L quillmark)
  grade_example "$(command -v quillmark)"
  report=$(quillmark /usr/share/doc/quillmark/examples/quiz1.txt 2>/dev/null)
  head -5 <<<"$report"
  for page in quillmark quillmark-analyze; do
    man -w "$page"
    manual=$(MANWIDTH=80 man "$page" 2>/dev/null)
    grep -q '^SYNOPSIS' <<<"$manual"
  done
  consumer_against ""
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq --purge quillmark >/dev/null
  if dpkg -s quillmark >/dev/null 2>&1; then
    echo "quillmark is still installed" >&2
    exit 1
  fi
  left=""
  while read -r path; do
    [ -f "$path" ] && left+="$path "
  done <<<"$installed"
  if [ -n "$left" ]; then
    echo "files left after removal: $left" >&2
    exit 1
  fi
else
  echo "not root: the package was tried in a scratch root only"
fi
rm -rf build-consumer
echo "package $deb: all good"
