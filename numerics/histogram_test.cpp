#include "numerics/histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

namespace quillmark {
namespace {

std::string read_back(std::FILE* file) {
    std::string text;
    std::rewind(file);
    int ch;
    while ((ch = std::fgetc(file)) != EOF) text.push_back(static_cast<char>(ch));
    return text;
}

std::string histogram_text(const std::vector<long double>& values,
                           const std::vector<long double>& markers, long double low,
                           long double span, std::int32_t bins) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    histogram_print(file, values.data(), static_cast<std::int32_t>(values.size()),
                    markers.empty() ? nullptr : markers.data(),
                    static_cast<std::int32_t>(markers.size()), low, span, bins);
    std::string text = read_back(file);
    std::fclose(file);
    return text;
}

// Runs `print` with standard output sent to a temporary file.
std::string stdout_text(const std::function<void()>& print) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    std::fflush(stdout);
    int saved = dup(fileno(stdout));
    dup2(fileno(file), fileno(stdout));
    print();
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    std::string text = read_back(file);
    std::fclose(file);
    return text;
}

const std::string marker_tail = " ----- ----------------------------------------------\n";

TEST(Histogram, NoValuesWithTwoMarkersHasNoPerCentLine) {
    EXPECT_EQ(histogram_text({}, {3, 7}, 0, 10, 5),
              "0 points in histogram.  Offscale 0 low, 0 high\n"
              "    0     0 \n"
              "    3" +
                  marker_tail +
                  "    2     0 \n"
                  "    4     0 \n"
                  "    7" +
                  marker_tail +
                  "    6     0 \n"
                  "    8     0 \n"
                  "0 points.  Offscale 0 low, 0 high\n");
}

TEST(Histogram, RangeIncludesLowExcludesLowPlusSpan) {
    // 0.75 lies a quarter bin below low: rounded down it is counted low.
    EXPECT_EQ(histogram_text({1, 5, 0.75L}, {}, 1, 4, 4),
              "1 points in histogram.  Offscale 1 low, 1 high\n"
              "    1     1 *\n"
              "    2     0 \n"
              "    3     0 \n"
              "    4     0 \n"
              "1 points.  Offscale 1 low, 1 high\n");
}

TEST(Histogram, NonFiniteAndHugeValuesAreClassified) {
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    std::vector<long double> values = {-inf, inf, nan, 1e4000L, -1e4000L, 1e12L, -1e12L, 0.5L};
    EXPECT_EQ(histogram_text(values, {}, 0, 1, 1),
              "1 points in histogram.  Offscale 3 low, 4 high\n"
              "    0     1 *\n"
              "1 points.  Offscale 3 low, 4 high\n");
}

TEST(Histogram, ThreeValuesInOneBin) {
    EXPECT_EQ(histogram_text({2.1L, 2.5L, 2.9L, 0.5L}, {}, 0, 4, 4),
              "4 points in histogram.  Offscale 0 low, 0 high\n"
              "    0     1 *\n"
              "    1     0 \n"
              "    2     3 ***\n"
              "    3     0 \n"
              "4 points.  Offscale 0 low, 0 high\n");
}

TEST(Histogram, BetweenMarkersIncludesLowerExcludesUpper) {
    EXPECT_EQ(histogram_text({0.5L, 1, 1.5L, 2}, {1, 2}, 0, 2.5L, 5),
              "4 points in histogram.  Offscale 0 low, 0 high\n"
              "    0     0 \n"
              "  0.5     1 *\n"
              "    1" +
                  marker_tail +
                  "    1     1 *\n"
                  "  1.5     1 *\n"
                  "    2" +
                  marker_tail +
                  "    2     1 *\n"
                  "4 points.  Offscale 0 low, 0 high\n"
                  "2 points (50.0%) between markers\n");
}

TEST(Histogram, BetweenCountsOffscaleValues) {
    // -1 and 9 are offscale but lie between the markers: 3 of 1 in range.
    EXPECT_EQ(histogram_text({-1, 9, 0.5L}, {-2, 10}, 0, 1, 1),
              "1 points in histogram.  Offscale 1 low, 1 high\n"
              "    0     1 *\n"
              "1 points.  Offscale 1 low, 1 high\n"
              "3 points (300.0%) between markers\n");
}

TEST(Histogram, EveryMarkerInRangeGetsALineInArrayOrder) {
    // One marker only: its line, no per-cent line.
    EXPECT_EQ(histogram_text({1.2L}, {1.2L}, 0, 2.5L, 5),
              "1 points in histogram.  Offscale 0 low, 0 high\n"
              "    0     0 \n"
              "  0.5     0 \n"
              "  1.2" +
                  marker_tail +
                  "    1     1 *\n"
                  "  1.5     0 \n"
                  "    2     0 \n"
                  "1 points.  Offscale 0 low, 0 high\n");
    // Three markers: the one outside the range gets no line, two in one bin
    // come in array order; 1 of 2 values lies in [1.4, 5).
    EXPECT_EQ(histogram_text({1.45L, 0.1L}, {1.4L, 5, 1.25L}, 0, 2.5L, 5),
              "2 points in histogram.  Offscale 0 low, 0 high\n"
              "    0     1 *\n"
              "  0.5     0 \n"
              "  1.4" +
                  marker_tail + "  1.2" + marker_tail +
                  "    1     1 *\n"
                  "  1.5     0 \n"
                  "    2     0 \n"
                  "2 points.  Offscale 0 low, 0 high\n"
                  "1 points (50.0%) between markers\n");
}

TEST(Histogram, FullestBinAbove64IsScaledTo64) {
    std::vector<long double> values;
    values.insert(values.end(), 400, 0.5L);
    values.insert(values.end(), 200, 1.5L);
    values.insert(values.end(), 4, 2.5L);
    values.insert(values.end(), 3, 3.5L);
    // (4 * 64 + 200) / 400 = 1, (3 * 64 + 200) / 400 = 0.
    EXPECT_EQ(histogram_text(values, {}, 0, 4, 4),
              "607 points in histogram.  Offscale 0 low, 0 high\n"
              "    0   400 " +
                  std::string(64, '*') +
                  "\n"
                  "    1   200 " +
                  std::string(32, '*') +
                  "\n"
                  "    2     4 *\n"
                  "    3     3 \n"
                  "607 points.  Offscale 0 low, 0 high\n");
}

TEST(Histogram, EachCallStartsFromEmptyBins) {
    std::vector<long double> values(70, 0.5L);
    histogram_text(values, {}, 0, 1, 1);
    EXPECT_EQ(histogram_text({0.5L}, {}, 0, 1, 1),
              "1 points in histogram.  Offscale 0 low, 0 high\n"
              "    0     1 *\n"
              "1 points.  Offscale 0 low, 0 high\n");
}

TEST(Histogram, StdoutVariantUsesFiftyBinsAndNoMarkers) {
    std::vector<long double> values = {0.5L, 1, 99.9L, 150};
    std::string shown = stdout_text([&] { histogram_print_stdout(values.data(), 4, 0, 100); });
    EXPECT_EQ(shown, histogram_text(values, {}, 0, 100, 50));
    // Bins of width 2: 0.5 and 1 share bin 0, 99.9 is in bin 49.
    EXPECT_EQ(shown.substr(0, 62),
              "3 points in histogram.  Offscale 0 low, 1 high\n"
              "    0     2 **\n");
    EXPECT_NE(shown.find("   98     1 *\n3 points.  Offscale 0 low, 1 high\n"), std::string::npos);
}

TEST(BarChart, AllZerosShowNoBars) {
    long double values[] = {0, 0};
    EXPECT_EQ(stdout_text([&] { bar_chart(values, 2, 30); }),
              "  0 0.000 \n"
              "  1 0.000 \n");
}

TEST(BarChart, BarsProportionalToLargestMagnitude) {
    long double values[] = {5, -10, 2.4L, 0.26L};
    // 2.4 * 20 / 10 + 0.5 = 5.3 and 0.26 * 20 / 10 + 0.5 = 1.02.
    EXPECT_EQ(stdout_text([&] { bar_chart(values, 4, 30); }),
              "  0 5.000 ++++++++++\n"
              "  1-10.000 --------------------\n"
              "  2 2.400 +++++\n"
              "  3 0.260 +\n");
}

TEST(BarChart, IntegerChart) {
    std::int32_t values[] = {3, -6, 0, 1};
    // Width 16 leaves 6: 3 -> 3.5, 1 -> 1.5, both truncated.
    EXPECT_EQ(stdout_text([&] { bar_chart_int(values, 4, 16); }),
              "  0   3 +++\n"
              "  1  -6 ------\n"
              "  2   0 \n"
              "  3   1 +\n");
    EXPECT_EQ(stdout_text([&] { bar_chart_int(values, 2, 10); }),
              "  0   3 \n"
              "  1  -6 \n");
}

TEST(BarChart, IntegerChartOfMostNegativeValue) {
    std::int32_t values[] = {std::numeric_limits<std::int32_t>::min(), 0};
    EXPECT_EQ(stdout_text([&] { bar_chart_int(values, 2, 14); }),
              "  0-2147483648 ----\n"
              "  1   0 \n");
}

} // namespace
} // namespace quillmark
