#!/usr/bin/env bash
# tools/need-packages.sh <Debian package>...
# Installs those of the named Debian packages that are not installed yet, and
# nothing when all are: with apt-get as root, through sudo otherwise. Where
# neither works, it names the packages and the command that installs them,
# and ends with status 1. When cmake is among them, it also checks that the
# one on the PATH is 3.25 or later.
set -euo pipefail

tell_root_command() { # <packages...>
  echo "Install them as root, then run this again:" >&2
  echo "  apt-get update && apt-get install $*" >&2
  exit 1
}

missing=()
if command -v dpkg-query >/dev/null 2>&1; then
  for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
  done
else
  echo "need-packages: no dpkg here; make sure these (Debian names) are installed: $*" >&2
fi

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    as_root=()
  elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "quillmark needs these Debian packages, not installed yet: ${missing[*]}" >&2
    tell_root_command "${missing[@]}"
  fi
  echo "Installing the Debian packages ${missing[*]} (this can take a few minutes)" >&2
  if ! { "${as_root[@]}" apt-get update -qq &&
         "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
           apt-get install -y -qq "${missing[@]}" >/dev/null; }; then
    echo "Could not install the Debian packages ${missing[*]}." >&2
    tell_root_command "${missing[@]}"
  fi
fi

for package in "$@"; do
  [ "$package" = cmake ] || continue
  version=$(cmake --version 2>/dev/null | sed -n 's/^cmake version \([0-9]*\.[0-9]*\).*/\1/p')
  if [ -z "$version" ] || ! printf '3.25\n%s\n' "$version" | sort -C -V; then
    echo "quillmark needs CMake 3.25 or later; the cmake on the PATH is ${version:-missing}." >&2
    exit 1
  fi
done
