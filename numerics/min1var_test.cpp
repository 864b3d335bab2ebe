#include "numerics/min1var.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/minimiser_test_support.h"

namespace quillmark {
namespace {

using testing_support::capture_output;
using testing_support::CapturedText;

// The variable min1var works on, the shape of the objective along it, and a
// log of every evaluation in order.
struct Line {
    long double x = 0;
    long double (*shape)(const Line&, long double) = nullptr;
    std::vector<long double> points;
    std::vector<long double> values;
};

long double line_objective(void* context) {
    Line& line = *static_cast<Line*>(context);
    const long double value = line.shape(line, line.x);
    line.points.push_back(line.x);
    line.values.push_back(value);
    return value;
}

long double bowl_at_3(const Line&, long double x) { return (x - 3) * (x - 3); }
long double bowl_at_minus_3(const Line&, long double x) { return (x + 3) * (x + 3); }
long double flat_5(const Line&, long double) { return 5; }
long double not_a_number(const Line&, long double) {
    return std::numeric_limits<long double>::quiet_NaN();
}
long double bowl_at_3_undefined_above_4(const Line& line, long double x) {
    return x <= 4 ? bowl_at_3(line, x) : std::numeric_limits<long double>::quiet_NaN();
}
long double falling(const Line&, long double x) { return -x; }
long double falling_every_call(const Line& line, long double) {
    return -static_cast<long double>(line.points.size());
}

class Min1varTest : public testing_support::MinimiserSettingsTest {
protected:
    // Runs one search from `start` with first step `step`, capturing both
    // streams; `evaluations` receives the rise of objective_evaluations.
    CapturedText search(long double start, long double step, long double tolerance) {
        line.x = start;
        this->step = step;
        const std::int32_t before = objective_evaluations;
        CapturedText text = capture_output(
            [&] { result = min1var(line_objective, &line, tolerance, &line.x, &this->step); });
        evaluations = testing_support::evaluations_since(before);
        return text;
    }

    Line line;
    long double step = 0;
    long double result = 0;
    std::int32_t evaluations = 0;
};

TEST_F(Min1varTest, BowlFromZeroBracketsAndTracesAtLevelThree) {
    line.shape = bowl_at_3;
    trace_level = 3;
    // Tolerance 2: the first halving leaves (5 - 1) / 3 < 2.
    CapturedText text = search(0, 0, 2);
    EXPECT_EQ(text.out,
              "  right 1.000000, 4.000000\n"
              "  right 3.000000, 0.000000\n"
              "lv,var,rv=1.000000, 3.000000, 7.000000.  foms: 4.000000, 0.000000, 16.000000\n");
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(line.points, (std::vector<long double>{0, -1, 1, 3, 7, 5}));
    EXPECT_EQ(result, 0.0L);
    EXPECT_EQ(line.x, 3.0L);
    EXPECT_EQ(step, 3.0L);
    EXPECT_EQ(evaluations, 6);
}

TEST_F(Min1varTest, TraceLevelTwoShowsOnlyTheBracketAndLevelOneNothing) {
    line.shape = bowl_at_3;
    trace_level = 2;
    EXPECT_EQ(search(0, 0, 2).out,
              "lv,var,rv=1.000000, 3.000000, 7.000000.  foms: 4.000000, 0.000000, 16.000000\n");
    trace_level = 1;
    EXPECT_EQ(search(0, 0, 2).out, "");
    EXPECT_EQ(line.x, 3.0L);
}

TEST_F(Min1varTest, WalkLeftThenRightWithTheDoubledStep) {
    line.shape = bowl_at_minus_3;
    trace_level = 3;
    // After the walk left the step is 4, so the right probe is -3 + 4 = 1;
    // the tie of the ends splits the right half at -1, then (-1 + 7) / 3 < 3.
    CapturedText text = search(0, 0, 3);
    EXPECT_EQ(text.out,
              "  left -1.000000, 4.000000\n"
              "  left -3.000000, 0.000000\n"
              "lv,var,rv=-7.000000, -3.000000, 1.000000.  foms: 16.000000, 0.000000, 16.000000\n");
    EXPECT_EQ(line.points, (std::vector<long double>{0, -1, -3, -7, 1, -1}));
    EXPECT_EQ(line.x, -3.0L);
    EXPECT_EQ(step, 3.0L);
    EXPECT_EQ(evaluations, 6);
}

TEST_F(Min1varTest, StartStepRules) {
    line.shape = flat_5;
    // Step 0 from -10: 0.2 (a double) * 10 in extended is 2 + 2^-53, and
    // the first probe is -10 - that = -(12 + 2^-53).
    search(-10, 0, 0.01L);
    ASSERT_GE(line.points.size(), 2u);
    EXPECT_EQ(line.points[1], -0xc.000000000000080p0L);

    // Step 1e-7 from 1000 is raised to 0.000001 (a double) * 1000.
    line.points.clear();
    search(1000, 0.0000001L, 0.01L);
    ASSERT_GE(line.points.size(), 2u);
    EXPECT_EQ(line.points[1], 0xf.9ffef9db22d0e56p6L);

    // A negative step from 0 becomes 0.000001 * 0 = 0, and then 1.
    line.points.clear();
    search(0, -5, 0.01L);
    ASSERT_GE(line.points.size(), 3u);
    EXPECT_EQ(line.points[1], -1.0L);
    EXPECT_EQ(line.points[2], 1.0L);
}

TEST_F(Min1varTest, ConstantObjectiveConvergesAfterOneHalving) {
    line.shape = flat_5;
    CapturedText text = search(2, 1, 0.01L);
    EXPECT_EQ(line.points, (std::vector<long double>{2, 1, 3, 2.5L}));
    EXPECT_EQ(result, 5.0L);
    EXPECT_EQ(line.x, 2.0L);
    EXPECT_EQ(step, 0.0L);
    EXPECT_EQ(evaluations, 4);
    EXPECT_EQ(text.out + text.err, "");
}

TEST_F(Min1varTest, ZeroToleranceRunsOutOfIterationsOrResolution) {
    line.shape = bowl_at_3;
    // The ends close in on 3 one halving of one side at a time, so 70
    // halvings are not enough to exhaust the resolution.
    CapturedText text = search(0, 0, 0);
    EXPECT_EQ(text.err, "min1var.1107: failed to converge\n");
    EXPECT_EQ(evaluations, 5 + 70);
    EXPECT_EQ(line.x, 3.0L);
    EXPECT_EQ(step, 3.0L);

    // Without that limit: the right distance halves 64 times from 4 and the
    // left 63 times from 2, down to 2^-62, the spacing of numbers near 3;
    // the next midpoint 3 + 2^-63 rounds to 3.
    min1var_iteration_limit = 1000;
    text = search(0, 0, 0);
    EXPECT_EQ(text.err, "min1var.1111 Exceeded resolution\n");
    EXPECT_EQ(text.out, "");
    EXPECT_EQ(evaluations, 5 + 127);
    EXPECT_EQ(line.x, 3.0L);
    EXPECT_EQ(result, 0.0L);

    min1var_iteration_limit = 70;
    EXPECT_EQ(search(0, 0, -1).err, "min1var.1107: failed to converge\n");
}

TEST_F(Min1varTest, IterationLimitZeroSkipsTheHalving) {
    line.shape = bowl_at_3;
    min1var_iteration_limit = 0;
    CapturedText text = search(0, 0, 0.5L);
    EXPECT_EQ(text.err, "min1var.1107: failed to converge\n");
    EXPECT_EQ(line.points, (std::vector<long double>{0, -1, 1, 3, 7}));
    EXPECT_EQ(line.x, 3.0L);
    EXPECT_EQ(step, 3.0L);
    EXPECT_EQ(result, 0.0L);
}

TEST_F(Min1varTest, EvaluationCounterWrapsAround) {
    line.shape = flat_5;
    objective_evaluations = INT32_MAX;
    search(2, 1, 0.01L);
    EXPECT_EQ(objective_evaluations, INT32_MIN + 3);
    objective_evaluations = 0;
}

TEST_F(Min1varTest, NaNAtTheStartKeepsTheStart) {
    line.shape = not_a_number;
    // Nothing is lower than NaN: both walks stop at once and every halving
    // moves the left end (0, 0.5, 0.75, ...) towards 1; 1 - 2^-64 is the last
    // midpoint that differs from 1, after 64 halvings.
    CapturedText text = search(1, 1, 0.01L);
    EXPECT_EQ(text.err, "min1var.1111 Exceeded resolution\n");
    EXPECT_EQ(evaluations, 3 + 64);
    EXPECT_TRUE(std::isnan(result));
    EXPECT_EQ(line.x, 1.0L);
    EXPECT_EQ(step, 0.0L);
}

TEST_F(Min1varTest, NaNAtTheRightEndKeepsTheBestPoint) {
    line.shape = bowl_at_3_undefined_above_4;
    // Bracket 1, 3, 7 with NaN at 7: the left half is split every time, the
    // left end reaching 3 - 2^-62 after 63 halvings.
    CapturedText text = search(0, 0, 0.000001L);
    EXPECT_EQ(text.err, "min1var.1111 Exceeded resolution\n");
    EXPECT_EQ(evaluations, 5 + 63);
    EXPECT_EQ(result, 0.0L);
    EXPECT_EQ(line.x, 3.0L);
    EXPECT_EQ(step, 3.0L);
}

TEST_F(Min1varTest, EverFallingObjectiveStopsAtTheEdgeOfTheRange) {
    line.shape = falling;
    // The walk right probes 1, 3, 7, ..., then 2^64, 2^65, ... up to 2^16384,
    // which overflows: 16384 probes, the middle at 2^16383. The left half,
    // 2^16382 wide, is split until its spread 2^(-1-i) is below 1e-6: i = 19.
    CapturedText text = search(0, 0, 0.000001L);
    const long double top = std::ldexp(1.0L, 16383);
    EXPECT_EQ(text.err, "");
    EXPECT_EQ(evaluations, 1 + 1 + 16384 + 19);
    EXPECT_EQ(line.x, top);
    EXPECT_EQ(result, -top);
    EXPECT_EQ(step, top);
}

TEST_F(Min1varTest, ObjectiveFallingAtEveryCallEndsWithTheLowestFinitePoint) {
    line.shape = falling_every_call;
    search(0, 0, 0.000001L);
    ASSERT_TRUE(std::isfinite(line.x));
    long double best = std::numeric_limits<long double>::infinity();
    long double best_point = 0;
    for (std::size_t i = 0; i < line.points.size(); ++i) {
        if (std::isfinite(line.points[i]) && line.values[i] < best) {
            best = line.values[i];
            best_point = line.points[i];
        }
    }
    EXPECT_EQ(result, best);
    EXPECT_EQ(line.x, best_point);
    EXPECT_LT(line.points.size(), 70000u);
}

} // namespace
} // namespace quillmark
