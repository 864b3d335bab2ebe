#!/usr/bin/env bash
# Compares two builds' outputs byte for byte: the grader's report of a
# generated batch (in both column orders) and every output of
# quillmark-analyze on it (the tables, --json, --html, --fix-options), with
# what both write to standard error. The builds are meant to differ only in
# QUILLMARK_SIMD; only the build time in the first header line and the
# grading moment in the second, and the build time in the grader's banner,
# are left out.
#   tests/simd_compare.sh [SIMD build folder] [plain build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
simd=$(realpath "${1:-build}")
plain=$(realpath "${2:-build-nosimd}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The first two lines without their times: the build date and time of
# line 1, the weekday, date and time of line 2.
mask_times() {
  sed -E '1s/,"[^"]*","[^"]*"$/,<build time>/; 2s/,[^,]*,"[^"]*","[^"]*"$/,<graded on>/' "$1"
}

failed=0
same() { # name, file of the SIMD build, file of the plain build
  if cmp -s "$2" "$3"; then
    echo "same: $1"
  else
    echo "DIFFERENT: $1"
    cmp "$2" "$3" || true
    failed=1
  fi
}

"$simd/tools/make_sheets" 30000 120 4 11 >"$work/sheets-simd.txt"
"$plain/tools/make_sheets" 30000 120 4 11 >"$work/sheets-plain.txt"
same "make_sheets 30000 120 4 11" "$work/sheets-simd.txt" "$work/sheets-plain.txt"

for order in ids exam-first; do
  options=()
  [[ $order == exam-first ]] && options=(cols:x)
  for build in simd plain; do
    dir="$work/$build-$order"
    mkdir "$dir"
    cp "$work/sheets-simd.txt" "$dir/sheets.txt"
    bin=${!build}
    # The same names in both folders: the page names its report.
    (cd "$dir" &&
      "$bin/grading/quillmark" sheets.txt "${options[@]}" >report.raw 2>grader.raw &&
      mask_times report.raw >report.csv &&
      tail -n +2 grader.raw >grader.err &&
      "$bin/analyze/quillmark-analyze" report.raw -o tables.csv --json analysis.json \
        --html analysis.html --fix-options fix.opt 2>analyze.err)
  done
  for file in report.csv grader.err tables.csv analysis.json analysis.html fix.opt analyze.err; do
    same "$order: $file" "$work/simd-$order/$file" "$work/plain-$order/$file"
  done
done
exit $failed
