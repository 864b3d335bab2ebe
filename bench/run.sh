#!/usr/bin/env bash
# Grading benchmark, with the release build (report to a file):
# 1. sheet files of 1,000, 100,000 and 1,000,000 sheets of 100 questions in
#    4 forms: the median wall time of 5 runs, sheets and input megabytes per
#    second, peak resident memory, and the grading time against `wc -l` on
#    the same file and `cat` copying the finished report;
# 2. paired runs against the copy, for 1,000,000 sheets of 100 questions and
#    100,000 sheets of 1000 questions: five times the grader, then `cat` of
#    its own report to a file; the median of the five ratios;
# 3. the peak memory of grading one sheet line of 4 GiB (BENCH_LONG_LINE_MIB
#    sets another length; 0 leaves it out), streamed through a pipe;
# 4. quillmark-analyze against grading: 1,000,000 sheets of 100 questions,
#    and with --rasch the same and 100,000 sheets of 1000 questions.
#
#   bench/run.sh [sizes...]        e.g. bench/run.sh 1000 100000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-release}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 100000 1000000)

# The build tools and /usr/bin/time (Debian packages), when they are missing.
"$root/tools/need-packages.sh" cmake ninja-build g++ gzip time libcli11-dev nlohmann-json3-dev

# The release preset, in $BENCH_BUILD when that names another folder.
(cd "$root" && cmake --preset release -B "$build" >/dev/null)
cmake --build "$build" --target quillmark make_sheets >/dev/null
grader=$build/grading/quillmark
work=$(mktemp -d "${BENCH_DIR:-/tmp}/quillmark-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# median_seconds <command...>: the median wall time of five runs, in seconds.
median_seconds() {
  local runs=() start end
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    runs+=($(( end - start )))
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p | awk '{ printf "%.4f", $1 / 1e9 }'
}

grade() { "$grader" "$1" > "$2" 2>/dev/null; }
count_lines() { wc -l "$1" > /dev/null; }
copy_report() { cat "$1" > "$2"; }

printf '%10s %9s %12s %9s %9s %8s %8s\n' sheets wall_s sheets_per_s input_MB/s peak_KiB x_wc x_cat
for n in "${sizes[@]}"; do
  sheets=$work/sheets_$n.txt
  "$build/tools/make_sheets" "$n" 100 4 "$n" > "$sheets"
  grade "$sheets" "$work/report.csv"   # warm the caches once
  wall=$(median_seconds grade "$sheets" "$work/report.csv")
  wc_s=$(median_seconds count_lines "$sheets")
  cat_s=$(median_seconds copy_report "$work/report.csv" "$work/copy.csv")
  /usr/bin/time -v -o "$work/time.txt" "$grader" "$sheets" > "$work/report.csv" 2>/dev/null
  peak=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
  bytes=$(stat -c %s "$sheets")
  awk -v n="$n" -v w="$wall" -v b="$bytes" -v p="$peak" -v wc="$wc_s" -v c="$cat_s" 'BEGIN {
    printf "%10d %9.4f %12.0f %9.1f %9d %8.1f %8.1f\n", n, w, n / w, b / 1e6 / w, p, w / wc, w / c }'
done

# paired_ratio <sheets> <questions> <forms>: five paired runs of the grader
# and of `cat` copying its report; prints the median ratio and both medians.
paired_ratio() {
  local sheets=$work/paired_$1_$2.txt ratios=() graders=() copies=() start middle end
  "$build/tools/make_sheets" "$1" "$2" "$3" 7 > "$sheets"
  grade "$sheets" "$work/report.csv"   # warm the caches once
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    grade "$sheets" "$work/report.csv"
    middle=$(date +%s%N)
    copy_report "$work/report.csv" "$work/copy.csv"
    end=$(date +%s%N)
    graders+=($(( middle - start )))
    copies+=($(( end - middle )))
    ratios+=($(awk -v g=$(( middle - start )) -v c=$(( end - middle )) 'BEGIN { printf "%.3f", g / c }'))
  done
  rm -f "$sheets"
  awk -v n="$1" -v q="$2" \
      -v r="$(printf '%s\n' "${ratios[@]}" | sort -g | sed -n 3p)" \
      -v g="$(printf '%s\n' "${graders[@]}" | sort -n | sed -n 3p)" \
      -v c="$(printf '%s\n' "${copies[@]}" | sort -n | sed -n 3p)" 'BEGIN {
    printf "%10d %9d %10.4f %10.4f %8.2f\n", n, q, g / 1e9, c / 1e9, r }'
}

echo
printf '%10s %9s %10s %10s %8s\n' sheets questions grade_s cat_s x_cat
paired_ratio 1000000 100 4
paired_ratio 100000 1000 3

long_mib=${BENCH_LONG_LINE_MIB:-4096}
if [ "$long_mib" -gt 0 ]; then
  { echo "0000000000,A,000,ABCDE"; printf '1234567890,A,001,'
    head -c "$(( long_mib * 1048576 ))" /dev/zero | tr '\0' 'B'; echo; } |
    /usr/bin/time -v -o "$work/time.txt" "$grader" /dev/stdin > /dev/null 2>&1
  peak=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
  echo
  printf 'one sheet line of %d MiB: peak %d KiB\n' "$long_mib" "$peak"
fi

# Analysis against grading: 1,000,000 sheets of 100 questions in one form,
# graded and the report analysed by quillmark-analyze, each the median of
# five runs side by side, with the ratio and each program's peak memory.
cmake --build "$build" --target quillmark-analyze >/dev/null
analyzer=$build/analyze/quillmark-analyze
sheets=$work/analyse_sheets.txt
"$build/tools/make_sheets" 1000000 100 1 7 > "$sheets"
grade "$sheets" "$work/report.csv"
analyse() { "$analyzer" "$1" > /dev/null 2>&1; }
grade_s=$(median_seconds grade "$sheets" "$work/report.csv")
analyse_s=$(median_seconds analyse "$work/report.csv")
/usr/bin/time -v -o "$work/time.txt" "$grader" "$sheets" > "$work/report.csv" 2>/dev/null
grade_peak=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
/usr/bin/time -v -o "$work/time.txt" "$analyzer" "$work/report.csv" > /dev/null 2>&1
analyse_peak=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
echo
printf '%10s %9s %9s %8s %13s %13s\n' sheets grade_s analyse_s ratio grade_KiB analyse_KiB
awk -v g="$grade_s" -v a="$analyse_s" -v gp="$grade_peak" -v ap="$analyse_peak" 'BEGIN {
  printf "%10d %9.4f %9.4f %8.2f %13d %13d\n", 1000000, g, a, a / g, gp, ap }'

# Rasch measurement against grading: 1,000,000 sheets of 100 questions and
# 100,000 sheets of 1000 questions, one form each, graded and analysed with
# --rasch, each the median of five runs side by side, with the ratio and the
# analyser's peak memory.
analyse_rasch() { "$analyzer" --rasch "$1" > /dev/null 2>&1; }
echo
printf '%10s %9s %9s %15s %8s %13s\n' sheets questions grade_s analyse_rasch_s ratio analyse_KiB
for size in "1000000 100" "100000 1000"; do
  set -- $size
  "$build/tools/make_sheets" "$1" "$2" 1 7 > "$sheets"
  grade "$sheets" "$work/report.csv"
  grade_s=$(median_seconds grade "$sheets" "$work/report.csv")
  rasch_s=$(median_seconds analyse_rasch "$work/report.csv")
  /usr/bin/time -v -o "$work/time.txt" "$analyzer" --rasch "$work/report.csv" > /dev/null 2>&1
  rasch_peak=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
  awk -v n="$1" -v q="$2" -v g="$grade_s" -v a="$rasch_s" -v p="$rasch_peak" 'BEGIN {
    printf "%10d %9d %9.4f %15.4f %8.2f %13d\n", n, q, g, a, a / g, p }'
done

# The answer-similarity screen: 100,000 simulated sheets of 100 questions of
# one form, graded, then screened as one family and in rooms of 40 (the
# Exam # cell), once each: the wall and processor seconds of the whole
# analysis with --similarity, its peak memory, and the same without it.
# BENCH_SIMILARITY=0 leaves it out.
if [ "${BENCH_SIMILARITY:-1}" != 0 ]; then
  cmake --build "$build" --target similarity_sim >/dev/null
  "$build/tools/similarity_sim" sheets 100000 100 40 0 0 run 5 > "$sheets" 2>/dev/null
  grade "$sheets" "$work/report.csv"
  echo
  printf '%10s %8s %9s %13s %13s\n' sheets rooms wall_s processor_s analyse_KiB
  for rooms in none exam; do
    args=(--similarity)
    [ "$rooms" = none ] || args+=(--rooms "$rooms")
    /usr/bin/time -v -o "$work/time.txt" "$analyzer" "${args[@]}" "$work/report.csv" > /dev/null 2>&1
    awk -v n=100000 -v r="$rooms" -F': ' '
      /Elapsed \(wall clock\)/ { m = split($2, t, ":"); w = 0; for (i = 1; i <= m; i++) w = w * 60 + t[i] }
      /User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident set size/ { p = $2 }
      END { printf "%10d %8s %9.2f %13.2f %13d\n", n, r, w, u + s, p }' "$work/time.txt"
  done
fi
