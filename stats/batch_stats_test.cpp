#include "stats/batch_stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace quillmark {
namespace {

TEST(BatchSums, EmptyAndNegativeLengthsGiveZero) {
    const long double v[] = {1.5L, 2.5L};
    const std::int32_t iv[] = {7, 8};
    EXPECT_EQ(array_sum(v, 0), 0.0L);
    EXPECT_EQ(array_sum(v, -3), 0.0L);
    // The most negative length must not overflow on its way to 0.
    EXPECT_EQ(array_sum(v, INT32_MIN), 0.0L);
    EXPECT_EQ(dot_product(v, v, INT32_MIN), 0.0L);
    EXPECT_EQ(int_array_sum(nullptr, INT32_MIN), 0);
    EXPECT_EQ(dot_product(v, v, 0), 0.0L);
    EXPECT_EQ(dot_product(v, v, -1), 0.0L);
    EXPECT_EQ(int_array_sum(iv, -2), 0);
    EXPECT_EQ(array_sum(v, 2), 4.0L);
}

TEST(BatchSums, RunFromLastElementToFirst) {
    // 1 + 2^-64 + 2^-64: summed from the front each tiny term is lost to
    // rounding (ties to even); summed from the back the two tiny terms
    // first make 2^-63, which 1 + 2^-63 keeps exactly.
    const long double tiny = 0x1p-64L;
    const long double v[] = {1.0L, tiny, tiny};
    EXPECT_EQ(array_sum(v, 3), 1.0L + 0x1p-63L);
    const long double ones[] = {1.0L, 1.0L, 1.0L};
    EXPECT_EQ(dot_product(v, ones, 3), 1.0L + 0x1p-63L);
}

TEST(BatchSums, IntegerWrapAndDotProduct) {
    const std::int32_t up[] = {2147483647, 1};
    EXPECT_EQ(int_array_sum(up, 2), INT32_MIN);
    const std::int32_t down[] = {INT32_MIN, -1, 12};
    EXPECT_EQ(int_array_sum(down, 3), INT32_MIN + 11);
    const long double a[] = {1, 2, 3};
    const long double b[] = {4, 5, 6};
    EXPECT_EQ(dot_product(a, b, 3), 32.0L);
}

TEST(Convolve, BothOrdersGiveTheSameValuesAndWriteNoFurther) {
    using Values = std::vector<long double>;
    const struct {
        Values a, b, product;
    } cases[] = {{{1, 2, 3}, {0, 1, 0.5L}, {0, 1, 2.5L, 4, 1.5L}},
                 // (1 + 2z + 3z^2 + 4z^3)(1 - z) = 1 + z + z^2 + z^3 - 4z^4
                 {{1, 2, 3, 4}, {1, -1}, {1, 1, 1, 1, -4}}};
    for (const auto& c : cases) {
        const auto na = static_cast<std::int32_t>(c.a.size());
        const auto nb = static_cast<std::int32_t>(c.b.size());
        Values out(c.product.size() + 1, 9), swapped(out);
        ASSERT_EQ(convolve(c.a.data(), na, c.b.data(), nb, out.data()), na + nb - 1);
        ASSERT_EQ(convolve(c.b.data(), nb, c.a.data(), na, swapped.data()), na + nb - 1);
        Values expected = c.product;
        expected.push_back(9);
        EXPECT_EQ(out, expected);
        EXPECT_EQ(swapped, expected);
    }
}

TEST(Convolve, SingleValuesAndEmptyInputs) {
    const long double a[] = {2.5L};
    const long double b[] = {-4};
    long double out[2] = {7, 7};
    EXPECT_EQ(convolve(a, 1, b, 1, out), 1);
    EXPECT_EQ(out[0], -10.0L);
    EXPECT_EQ(out[1], 7.0L);
    out[0] = 7;
    EXPECT_EQ(convolve(a, 0, b, 1, out), 0);
    EXPECT_EQ(convolve(a, 1, b, -2, out), 0);
    EXPECT_EQ(out[0], 7.0L);
}

TEST(LinearFit, StraightLineAndResiduals) {
    const long double x[] = {1, 2, 3};
    long double y[] = {2, 4, 6};
    long double intercept = -1, slope = -1;
    linear_fit(x, y, 3, intercept, slope);
    EXPECT_EQ(slope, 2.0L);
    EXPECT_EQ(intercept, 0.0L);
    subtract_fit(x, y, 3, intercept, slope);
    for (long double r : y) EXPECT_EQ(r, 0.0L);

    // y = 1 + 3x, residuals of a shifted line: intercept comes before slope.
    long double z[] = {4, 7, 10};
    linear_fit(x, z, 3, intercept, slope);
    EXPECT_EQ(slope, 3.0L);
    EXPECT_EQ(intercept, 1.0L);
    subtract_fit(x, z, 3, 0, 3);
    for (long double r : z) EXPECT_EQ(r, 1.0L);
}

TEST(LinearFit, DegenerateInputs) {
    // All x alike, one point, none: slope 0 through the mean of y.
    const long double same_x[] = {4, 4, 4};
    const long double y[] = {1, 2, 6};
    for (const auto& [n, mean] : {std::pair{3, 3.0L}, {1, 1.0L}, {0, 0.0L}}) {
        long double intercept = -1, slope = -1;
        linear_fit(same_x, y, n, intercept, slope);
        EXPECT_EQ(slope, 0.0L) << n;
        EXPECT_EQ(intercept, mean) << n;
    }
}

void expect_same_fields(const RunningStats& a, const RunningStats& b) {
    EXPECT_EQ(a.count, b.count);
    EXPECT_EQ(a.sum, b.sum);
    EXPECT_EQ(a.sum_sq, b.sum_sq);
    EXPECT_EQ(a.mean, b.mean);
    EXPECT_EQ(a.variance, b.variance);
    EXPECT_EQ(a.std_dev, b.std_dev);
    EXPECT_EQ(a.min, b.min);
    EXPECT_EQ(a.max, b.max);
}

TEST(StatsFromArray, ScoresExample) {
    const long double v[] = {70, 80, 90};
    RunningStats s{};
    stats_set_limits(s, 0, 50); // no window applies, and it stays as set
    s.rejected = 4;
    stats_from_array(s, v, 3, 0);
    EXPECT_EQ(s.lower_limit, 0.0L);
    EXPECT_EQ(s.upper_limit, 50.0L);
    EXPECT_EQ(s.rejected, 4);
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.mean, 80.0L);
    EXPECT_NEAR(static_cast<double>(s.variance), 200.0 / 3.0, 1e-12);
    EXPECT_NEAR(static_cast<double>(s.std_dev), 8.1650, 5e-5);
    EXPECT_EQ(s.min, 70.0L);
    EXPECT_EQ(s.max, 90.0L);
    stats_from_array(s, v, 3, -1);
    EXPECT_EQ(s.variance, 100.0L);
    EXPECT_EQ(s.std_dev, 10.0L);
}

TEST(StatsFromArray, MatchesRunningRecordBitForBit) {
    const long double v[] = {0.1L, -3.75L, 1e10L, 0.1L, 2.0L / 3.0L, -3.75L, 42};
    for (std::int32_t divisor : {0, -1, 5, -10, INT32_MIN}) {
        RunningStats running{};
        for (long double x : v) stats_add(running, x);
        stats_finish(running, divisor);
        RunningStats batch{};
        stats_from_array(batch, v, 7, divisor);
        expect_same_fields(batch, running);
    }
}

TEST(StatsFromArray, SingleAndEmptyArrays) {
    const long double one[] = {12.5L};
    RunningStats s{};
    stats_from_array(s, one, 1, -1);
    EXPECT_EQ(s.count, 1);
    EXPECT_EQ(s.mean, 12.5L);
    EXPECT_EQ(s.variance, 0.0L);
    EXPECT_EQ(s.std_dev, 0.0L);

    for (std::int32_t n : {0, -4}) {
        RunningStats e{};
        e.min = e.max = e.mean = e.variance = e.std_dev = e.sum = e.sum_sq = 9;
        // An empty array is never read, so a null pointer is fine.
        stats_from_array(e, nullptr, n, INT32_MIN);
        RunningStats zero{};
        zero.count = n;
        expect_same_fields(e, zero);
    }
}

} // namespace
} // namespace quillmark
