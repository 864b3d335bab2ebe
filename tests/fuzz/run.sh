#!/usr/bin/env bash
# Builds the fuzz targets and runs each for the given number of seconds
# (default 30): the four libFuzzer targets, then the whole-program mutation
# driver on a sanitizer build of quillmark. Any finding ends the script with
# a non-zero status; libFuzzer's crash inputs go to <build>/artifacts, the
# driver's failing folders to <build>/findings.
#
#   tests/fuzz/run.sh [seconds] [target...]
#
# Targets: sheet_lines keys options report mutate (default: all, one after another).
# The build folders are build-fuzz (clang, libFuzzer) and build-fuzz-asan (the
# program with GCC's sanitizers) at the top of the tree; FUZZ_BUILD and
# FUZZ_ASAN_BUILD choose others.
set -euo pipefail

seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(sheet_lines keys options report mutate)

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
asan_build=${FUZZ_ASAN_BUILD:-$root/build-fuzz-asan}

# libFuzzer comes with clang's runtime package; the mutation driver needs
# GCC's sanitizers and Python. Each is installed only where it is missing.
"$root/tools/need-packages.sh" cmake ninja-build clang-14 libclang-rt-14-dev g++ gzip python3 \
  libcli11-dev nlohmann-json3-dev

# The presets (tests/fuzz/CMakePresets.json and the top one) with the build
# folders chosen above.
(cd "$here" && cmake --preset fuzz -B "$build" >/dev/null)
cmake --build "$build"
mkdir -p "$build/artifacts" "$build/findings"

for target in "${targets[@]}"; do
  echo "== $target: $seconds s"
  if [ "$target" = mutate ]; then
    (cd "$root" && cmake --preset fuzz-program -B "$asan_build" >/dev/null)
    cmake --build "$asan_build" --target quillmark
    python3 "$here/mutate.py" "$asan_build/grading/quillmark" --cases "$here/../e2e" \
      --seconds "$seconds" --findings "$build/findings"
    continue
  fi
  # New inputs go to a working corpus in the build folder; the seeds stay
  # as they are.
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  status=0
  "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
    -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" "$corpus" "$here/corpus/$target" \
    >"$log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzz_$target found a fault (status $status); its input is in $build/artifacts" >&2
    exit 1
  fi
done
echo "fuzz: ${targets[*]} ran $seconds s each with no finding"
