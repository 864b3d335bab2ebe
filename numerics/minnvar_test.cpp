#include "numerics/minnvar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/minimiser_test_support.h"

namespace quillmark {
namespace {

using testing_support::capture_output;
using testing_support::CapturedText;

// ---- minnvar ----

// The parameter vector the objective reads, reached through the context.
struct Params {
    long double x[3] = {0, 0, 0};
    long double (*shape)(const long double* x) = nullptr;
    int calls = 0;
};

// Flat along every variable, at a level that flips between 2 and 1 from one
// block of four calls to the next. Minnvar's first call is alone in block 0;
// a line search along a flat line takes exactly four evaluations (start,
// both probes, one halving), so every sweep of one variable sees one level
// throughout and the value changes by half or more from sweep to sweep.
long double flipping_level(int calls) { return 1 + ((calls + 2) / 4) % 2; }

long double params_objective(void* context) {
    Params& params = *static_cast<Params*>(context);
    ++params.calls;
    return params.shape != nullptr ? params.shape(params.x) : flipping_level(params.calls);
}

// Minimum 5 at (3, anything, -3) for the middle variable held at 5.
long double two_bowls_plus_middle(const long double* x) {
    return (x[0] - 3) * (x[0] - 3) + (x[2] + 3) * (x[2] + 3) + x[1];
}
long double two_bowls(const long double* x) {
    return (x[0] - 3) * (x[0] - 3) + (x[1] + 3) * (x[1] + 3) + 5;
}
long double bowl_with_zero_minimum(const long double* x) { return (x[0] - 3) * (x[0] - 3); }
long double seven(const long double*) { return 7; }
long double sum_of_two(const long double* x) { return x[0] + x[1]; }

using Values = std::vector<long double>;

// The first n values of an array.
Values first(const long double* values, std::size_t n) { return Values(values, values + n); }

int count_lines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}

class MinnvarTest : public testing_support::MinimiserSettingsTest {
protected:
    CapturedText run(long double tolerance, std::int32_t n, long double* steps) {
        const std::int32_t before = objective_evaluations;
        CapturedText text = capture_output(
            [&] { result = minnvar(params_objective, &params, tolerance, n, params.x, steps); });
        evaluations = testing_support::evaluations_since(before);
        return text;
    }

    Params params;
    long double result = 0;
    std::int32_t evaluations = 0;
};

TEST_F(MinnvarTest, FixedVariableIsLeftAloneButTraced) {
    params.shape = two_bowls_plus_middle;
    params.x[1] = 5;
    long double steps[3] = {0, -1, 0};
    trace_level = 1;
    // Sweep 1 moves from 23 to 5; sweep 2 settles at t = 0.1 and t becomes
    // the tolerance 0.05; sweep 3 settles again and converges, unprinted.
    CapturedText text = run(0.05L, 3, steps);
    EXPECT_EQ(text.out,
              "minn iter 1:      3      5     -3, fom      5\n"
              "minn iter 2:      3      5     -3, fom      5\n");
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(result, 5.0L);
    EXPECT_EQ(minnvar_status, 0);
    EXPECT_EQ(first(params.x, 3), (Values{3, 5, -3}));
    EXPECT_EQ(first(steps, 3), (Values{0, -1, 0}));
    // Line searches: sweep 1 takes 8 and 11, sweep 2 9 and 9, sweep 3 5 and
    // 5; the starting evaluation of minnvar is not counted.
    EXPECT_EQ(evaluations, 47);
    EXPECT_EQ(params.calls, 48);
}

TEST_F(MinnvarTest, SmallToleranceTakesFiveTighteningsAndOneMoreSweep) {
    params.shape = two_bowls;
    params.x[0] = 3;
    params.x[1] = -3;
    long double steps[2] = {0, 0};
    trace_level = 1;
    // Starting at the minimum every sweep settles: t goes 0.1, 0.01, ...,
    // 0.000001 in sweeps 1 to 5, and sweep 6 converges.
    CapturedText text = run(0.000001L, 2, steps);
    std::string expected;
    for (int k = 1; k <= 5; ++k) {
        expected += "minn iter " + std::to_string(k) + ":      3     -3, fom      5\n";
    }
    EXPECT_EQ(text.out, expected);
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(minnvar_status, 0);
    EXPECT_EQ(result, 5.0L);

    // From (0, 0) the first sweep reaches the minimum without settling.
    params.x[0] = 0;
    params.x[1] = 0;
    text = run(0.000001L, 2, steps);
    EXPECT_EQ(count_lines(text.out), 6);
    const std::string last = "minn iter 6:      3     -3, fom      5\n";
    ASSERT_GE(text.out.size(), last.size());
    EXPECT_EQ(text.out.substr(text.out.size() - last.size()), last);
    EXPECT_EQ(minnvar_status, 0);
}

TEST_F(MinnvarTest, ZeroValueAfterNonZeroIsUnsettledAndBothZeroIsSettled) {
    params.shape = bowl_with_zero_minimum;
    long double steps[1] = {0};
    trace_level = 1;
    CapturedText text = run(0.05L, 1, steps);
    EXPECT_EQ(text.out,
              "minn iter 1:      3, fom      0\n"
              "minn iter 2:      3, fom      0\n");
    EXPECT_EQ(result, 0.0L);
    EXPECT_EQ(minnvar_status, 0);
}

TEST_F(MinnvarTest, NeverSettlingFailsAfter99SweepsThenAConvergingCallResetsTheStatus) {
    long double steps[1] = {0};
    trace_level = 1;
    CapturedText text = run(0.01L, 1, steps);
    std::string expected;
    for (int k = 1; k <= 99; ++k) {
        expected += "minn iter " + std::to_string(k) + ":      0, fom      " +
                    (k % 2 == 1 ? "2" : "1") + "\n";
    }
    EXPECT_EQ(text.out, expected);
    EXPECT_EQ(text.err, "minnvar: failed to converge\n");
    EXPECT_EQ(minnvar_status, -1);
    EXPECT_EQ(result, 2.0L);
    EXPECT_EQ(evaluations, 99 * 4);

    long double two_steps[2] = {0, 0};
    params.shape = two_bowls;
    params.x[0] = 0;
    params.x[1] = 0;
    text = run(0.05L, 2, two_steps);
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(minnvar_status, 0);
    EXPECT_EQ(result, 5.0L);
}

TEST_F(MinnvarTest, NothingToMinimiseReturnsTheStartingValue) {
    params.shape = seven;
    trace_level = 1;
    minnvar_status = -1;
    // t = 0.1 settles and tightens to 0.01 (one line); then it converges.
    CapturedText text = run(0.01L, 0, nullptr);
    EXPECT_EQ(text.out, "minn iter 1:, fom      7\n");
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(result, 7.0L);
    EXPECT_EQ(minnvar_status, 0);
    EXPECT_EQ(evaluations, 0);

    params.shape = sum_of_two;
    params.x[0] = 1;
    params.x[1] = 2;
    long double steps[2] = {-1, -2};
    minnvar_status = -1;
    text = run(0.01L, 2, steps);
    EXPECT_EQ(text.out, "minn iter 1:      1      2, fom      3\n");
    EXPECT_EQ(result, 3.0L);
    EXPECT_EQ(minnvar_status, 0);
    EXPECT_EQ(first(steps, 2), (Values{-1, -2}));
    EXPECT_EQ(params.calls, 2);
}

// ---- grid_search ----

struct GridLog {
    std::vector<std::vector<long double>> points;
};
GridLog grid_log;

// Records the first two coordinates of every point it is handed.
long double logged(const long double* point, long double value) {
    grid_log.points.push_back({point[0], point[1]});
    return value;
}
long double grid_valley(void* argument) {
    const long double* p = static_cast<const long double*>(argument);
    return logged(p, 40 * (p[0] - 0.5L) * (p[0] - 0.5L) + (p[1] - 1) * (p[1] - 1));
}
long double grid_ties(void* argument) {
    const long double* p = static_cast<const long double*>(argument);
    return logged(p, (p[0] - 0.5L) * (p[0] - 0.5L));
}
long double grid_flat(void* argument) {
    return logged(static_cast<const long double*>(argument), 2);
}

class GridSearchTest : public ::testing::Test {
protected:
    void SetUp() override { grid_log.points.clear(); }
};

TEST_F(GridSearchTest, ThreeByTwoGridInOdometerOrder) {
    long double point[5] = {-1, -1, 7, 8, 9};
    const long double low[2] = {0, 0};
    const long double high[2] = {1, 1};
    const std::int32_t counts[2] = {3, 2};
    long double best = 0;
    CapturedText text =
        capture_output([&] { best = grid_search(grid_valley, point, low, high, counts, 2); });
    const std::vector<std::vector<long double>> order = {{0, 0},    {0, 1}, {0.5L, 0},
                                                         {0.5L, 1}, {1, 0}, {1, 1}};
    EXPECT_EQ(grid_log.points, order);
    // Values 11, 10, 1, 0, 11, 10: only the two below 10 get a trace line.
    EXPECT_EQ(text.out,
              "0.000  0.000  ,  11.000\n"
              "0.500  0.000  7.000  8.000  9.000,      1.00\n"
              "0.500  1.000  7.000  8.000  9.000,      0.00\n");
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(best, 0.0L);
    EXPECT_EQ(first(point, 5), (Values{0.5L, 1, 7, 8, 9}));
}

TEST_F(GridSearchTest, FirstOfEqualValuesWinsAndLowCornerWhenNothingIsBetter) {
    long double point[5] = {};
    const long double low[2] = {0, 0};
    const long double high[2] = {1, 1};
    const std::int32_t counts[2] = {3, 2};
    long double best = 0;
    capture_output([&] { best = grid_search(grid_ties, point, low, high, counts, 2); });
    // Zeros at (0.5, 0) and (0.5, 1): the first in odometer order is kept.
    EXPECT_EQ(best, 0.0L);
    EXPECT_EQ(first(point, 2), (Values{0.5L, 0}));

    capture_output([&] { best = grid_search(grid_flat, point, low, high, counts, 2); });
    EXPECT_EQ(best, 2.0L);
    EXPECT_EQ(first(point, 2), (Values{0, 0}));
}

TEST_F(GridSearchTest, VariableCountOutsideOneToEightDoesNothing) {
    long double point[9] = {4, 4, 4, 4, 4, 4, 4, 4, 4};
    const long double low[9] = {};
    const long double high[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    const std::int32_t counts[9] = {2, 2, 2, 2, 2, 2, 2, 2, 2};
    for (std::int32_t n : {0, 9, -1}) {
        long double best = 0;
        CapturedText text =
            capture_output([&] { best = grid_search(grid_flat, point, low, high, counts, n); });
        EXPECT_EQ(best, 1e9L);
        EXPECT_EQ(text.out + text.err, "");
        EXPECT_EQ(point[0], 4.0L);
    }
    EXPECT_TRUE(grid_log.points.empty());

    // Eight variables: 2^8 points from the low corner to the high corner.
    long double best = 0;
    capture_output([&] { best = grid_search(grid_flat, point, low, high, counts, 8); });
    ASSERT_EQ(grid_log.points.size(), 256u);
    EXPECT_EQ(grid_log.points.front(), (std::vector<long double>{0, 0}));
    EXPECT_EQ(grid_log.points.back(), (std::vector<long double>{1, 1}));
    EXPECT_EQ(grid_log.points[1], (std::vector<long double>{0, 0}));
    EXPECT_EQ(point[7], 0.0L);
    EXPECT_EQ(point[8], 4.0L);
}

TEST_F(GridSearchTest, CountBelowTwoKeepsTheVariableAtLow) {
    long double point[5] = {};
    const long double low[2] = {0.25L, 0};
    const long double high[2] = {1, 1};
    for (std::int32_t count : {1, 0, -3}) {
        grid_log.points.clear();
        const std::int32_t counts[2] = {count, 3};
        capture_output([&] { grid_search(grid_flat, point, low, high, counts, 2); });
        const std::vector<std::vector<long double>> order = {{0.25L, 0}, {0.25L, 0.5L}, {0.25L, 1}};
        EXPECT_EQ(grid_log.points, order);
    }
}

} // namespace
} // namespace quillmark
