#include "analyze/page_charts.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(PageCharts, ScaleMapsItsRangeAndKeepsEveryValueOnTheChart) {
    // A y scale: r from -0.2 to 0.6 onto the plot's bottom (356) to top (16).
    const Scale y{-0.2, 0.6, 356, 16};
    EXPECT_DOUBLE_EQ(y(-0.2L), 356);
    EXPECT_DOUBLE_EQ(y(0.6L), 16);
    EXPECT_DOUBLE_EQ(y(0.2L), 186);
    EXPECT_DOUBLE_EQ(y(-1.0L), 356); // below the range: at its low end
    EXPECT_DOUBLE_EQ(y(5.0L), 16);
    EXPECT_DOUBLE_EQ(y(std::numeric_limits<long double>::quiet_NaN()), 356);
    EXPECT_DOUBLE_EQ(y(std::numeric_limits<long double>::infinity()), 16);
}

TEST(PageCharts, CountStepsAreOneTwoOrFiveTimesAPowerOfTenAtMostFiveSteps) {
    const struct {
        std::int64_t most;
        std::int64_t step;
    } cases[] = {{1, 1},   {5, 1},   {6, 2},   {10, 2},           {11, 5},          {25, 5},
                 {26, 10}, {50, 10}, {51, 20}, {1000000, 200000}, {1000001, 500000}};
    for (const auto& c : cases) EXPECT_EQ(count_step(c.most), c.step) << c.most;
}

TEST(PageCharts, PointShapesAroundTheirCentre) {
    Markup out;
    point(out, PointShape::circle, "k-none", 10, 20, 4, "Question 1");
    point(out, PointShape::diamond, "k-key", 10, 20, 4, "");
    point(out, PointShape::square, "k-var", 10, 20, 4, "");
    EXPECT_EQ(out.str(),
              "<circle class=\"k-none\" cx=\"10.0\" cy=\"20.0\" r=\"4.0\">"
              "<title>Question 1</title></circle>"
              "<path class=\"k-key\" d=\"M10.0 14.0l6.0 6.0 -6.0 6.0 -6.0 -6.0z\">"
              "</path>"
              "<path class=\"k-var\" d=\"M6.0 16.0h8.0v8.0h-8.0z\"></path>");
}

} // namespace
} // namespace quillmark
