#!/usr/bin/env bash
# Builds everything (in build) and runs every test: the unit tests, the
# end-to-end cases and the memory check. Installs the Debian packages the
# build and the tests need when they are missing.
set -euo pipefail
cd "$(dirname "$0")"
tools/need-packages.sh cmake ninja-build g++ gzip libcli11-dev nlohmann-json3-dev libgtest-dev python3 \
  valgrind libbenchmark-dev
cmake --workflow --preset default
