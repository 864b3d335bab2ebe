// Micro-benchmarks of the grading hot path: cutting a sheet line, scoring a
// sheet (its row goes to the null device), the running statistics and the
// generator.
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "grading/scoring.h"
#include "grading/sheet_line.h"
#include "keys/answer_keys.h"
#include "stats/random.h"
#include "stats/running_stats.h"

namespace {

using namespace quillmark;

// A sheet of 100 responses in groups of ten, most of them right.
std::string sample_line() {
    std::string line = "4024001417,A,001,";
    for (int q = 0; q < 100; ++q) {
        if (q > 0 && q % 10 == 0) line += ' ';
        line += static_cast<char>('A' + (q * 7 + q / 9) % 5);
    }
    return line;
}

void BM_parse_sheet_line(benchmark::State& state) {
    const std::string line = sample_line();
    for (auto _ : state) benchmark::DoNotOptimize(parse_sheet_line(line.c_str()));
}
BENCHMARK(BM_parse_sheet_line);

void BM_grade_sheet(benchmark::State& state) {
    std::string key;
    for (int q = 0; q < 100; ++q) key += static_cast<char>('A' + (q * 7) % 5);
    store_key('A', key.c_str());
    static GradingRun run;
    run.highest_form = -1;
    run.highest_letter = -1;
    const ScannedSheet sheet = parse_sheet_line(sample_line().c_str());
    // The rows go to the null device; the benchmark's own table does not.
    std::fflush(stdout);
    int saved = dup(1);
    int null_device = open("/dev/null", O_WRONLY);
    dup2(null_device, 1);
    for (auto _ : state) {
        run.sheets_graded = 1;
        grade_sheet(sheet, run);
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(null_device);
    close(saved);
}
BENCHMARK(BM_grade_sheet);

void BM_stats_add(benchmark::State& state) {
    RunningStats stats;
    stats_init(stats);
    long double value = 0;
    for (auto _ : state) {
        stats_add(stats, value);
        value += 0.5L;
    }
    benchmark::DoNotOptimize(stats.sum);
}
BENCHMARK(BM_stats_add);

void BM_rng_uniform(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(rng_uniform());
}
BENCHMARK(BM_rng_uniform);

} // namespace

BENCHMARK_MAIN();
