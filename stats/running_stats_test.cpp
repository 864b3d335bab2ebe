#include "stats/running_stats.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

RunningStats zero_filled() {
    RunningStats stats;
    std::memset(&stats, 0, sizeof stats);
    return stats;
}

std::string printed(const RunningStats& stats) {
    char text[256] = "";
    std::FILE* file = std::tmpfile();
    int written = stats_print(file, stats);
    std::rewind(file);
    std::size_t got = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    EXPECT_EQ(static_cast<std::size_t>(written), got);
    return std::string(text, got);
}

TEST(RunningStats, ZeroFilledRecordAcceptsEverything) {
    RunningStats stats = zero_filled();
    const long double inf = std::numeric_limits<long double>::infinity();
    stats_add(stats, -5);
    stats_add(stats, LDBL_MAX);
    stats_add(stats, -inf);
    EXPECT_EQ(stats.count, 3);
    EXPECT_EQ(stats.rejected, 0);
    EXPECT_EQ(stats.min, -inf);
    EXPECT_EQ(stats.max, LDBL_MAX);
}

TEST(RunningStats, InitOpensAnInclusiveWindowOverTheDoubleRange) {
    RunningStats stats;
    stats_init(stats);
    const long double inf = std::numeric_limits<long double>::infinity();
    stats_add(stats, -DBL_MAX);
    stats_add(stats, DBL_MAX);
    stats_add(stats, inf);
    stats_add(stats, -inf);
    stats_add(stats, static_cast<long double>(DBL_MAX) * 2);
    EXPECT_EQ(stats.count, 2);
    EXPECT_EQ(stats.rejected, 3);
    EXPECT_EQ(printed(stats), "n=2, avg dev [min, max]: 0  0 [-1.798e+308, 1.798e+308]\n");
}

TEST(RunningStats, OneZeroLimitKeepsTheWindowOn) {
    RunningStats stats = zero_filled();
    stats_set_limits(stats, 0, 100);
    for (long double v : {0.0L, 100.0L, -0.5L, 100.5L}) stats_add(stats, v);
    EXPECT_EQ(stats.count, 2);
    EXPECT_EQ(stats.rejected, 2);

    stats_set_limits(stats, -10, 0);
    stats_add(stats, 1);
    stats_add(stats, -10);
    EXPECT_EQ(stats.count, 3);
    EXPECT_EQ(stats.rejected, 3);
}

TEST(RunningStats, FinishingAnEmptyRecordZeroesTheDerivedFields) {
    RunningStats stats = zero_filled();
    stats.mean = 7;
    stats.variance = 7;
    stats.std_dev = 7;
    stats.min = 3;
    stats.max = 4;
    stats_finish(stats, 0);
    EXPECT_EQ(stats.mean, 0);
    EXPECT_EQ(stats.variance, 0);
    EXPECT_EQ(stats.std_dev, 0);
    EXPECT_EQ(stats.min, 3);
    EXPECT_EQ(stats.max, 4);

    RunningStats fresh;
    stats_init(fresh);
    stats_finish(fresh, 0);
    EXPECT_EQ(printed(fresh), "n=0, avg dev [min, max]: 0  0 [0, 0]\n");
}

TEST(RunningStats, PopulationAndSampleVariance) {
    RunningStats stats = zero_filled();
    for (long double v : {70.0L, 80.0L, 90.0L}) stats_add(stats, v);
    stats_finish(stats, 0);
    EXPECT_EQ(stats.mean, 80);
    EXPECT_EQ(stats.variance, 200.0L / 3); // (19400 - 57600 / 3) / 3
    EXPECT_EQ(stats.std_dev, static_cast<long double>(std::sqrt(static_cast<double>(200.0L / 3))));
    EXPECT_EQ(printed(stats), "n=3, avg dev [min, max]: 80  8.165 [70, 90]\n");

    stats_finish(stats, -1);
    EXPECT_EQ(stats.variance, 100);
    EXPECT_EQ(stats.std_dev, 10);

    stats_finish(stats, 5); // a fixed divisor
    EXPECT_EQ(stats.variance, 40);
    stats_finish(stats, -10); // below one: divisor 1
    EXPECT_EQ(stats.variance, 200);
}

TEST(RunningStats, SingleAndRepeatedValues) {
    RunningStats one = zero_filled();
    stats_add(one, 42);
    stats_finish(one, -1);
    EXPECT_EQ(one.variance, 0);
    EXPECT_EQ(one.std_dev, 0);

    RunningStats same = zero_filled();
    for (int i = 0; i < 7; ++i) stats_add(same, 0.1L);
    stats_finish(same, 0);
    EXPECT_EQ(same.min, 0.1L);
    EXPECT_EQ(same.max, 0.1L);
    EXPECT_EQ(same.std_dev, 0); // a zero or tiny negative variance
    EXPECT_LE(std::fabs(static_cast<double>(same.variance)), 1e-18);
}

TEST(RunningStats, ResetKeepsWindowAndDerivedFields) {
    RunningStats stats;
    stats_init(stats);
    stats_set_limits(stats, 0, 10);
    stats_add(stats, 4);
    stats_add(stats, 20);
    stats_finish(stats, 0);
    stats_reset(stats);
    EXPECT_EQ(stats.count, 0);
    EXPECT_EQ(stats.rejected, 0);
    EXPECT_EQ(stats.sum, 0);
    EXPECT_EQ(stats.mean, 4);
    EXPECT_EQ(stats.upper_limit, 10);
    stats_add(stats, 6); // the first value after a reset sets min and max
    EXPECT_EQ(stats.min, 6);
    EXPECT_EQ(stats.max, 6);
}

} // namespace
} // namespace quillmark
