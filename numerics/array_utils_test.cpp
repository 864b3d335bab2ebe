#include "numerics/array_utils.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace quillmark {
namespace {

TEST(PolyEval, HornerInAscendingPowers) {
    const long double c[] = {1, 2, 3};
    EXPECT_EQ(poly_eval(2, c, 3), 17.0L); // 1 + 2*2 + 3*4
    EXPECT_EQ(poly_eval(-1, c, 3), 2.0L); // 1 - 2 + 3
    EXPECT_EQ(poly_eval(2, c, 0), 0.0L);
    EXPECT_EQ(poly_eval(2, c, -4), 0.0L);
    EXPECT_EQ(poly_eval(2, c, INT32_MIN), 0.0L);
}

TEST(BestWindow, FirstAndLastOfEqualSums) {
    const std::int32_t v[] = {1, 3, 3, 1, 3, 3};
    EXPECT_EQ(best_window_first(v, 6, 2), 1);
    EXPECT_EQ(best_window_last(v, 6, 2), 4);
    EXPECT_EQ(best_window_first(v, 6, 6), 0);
    EXPECT_EQ(best_window_last(v, 6, 6), 0);
    EXPECT_EQ(best_window_first(v, 6, 1), 1);
    EXPECT_EQ(best_window_last(v, 6, 1), 5);
}

TEST(BestWindow, SumsWrapAt32Bits) {
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();
    // The first run wraps to -2, so the second (max) is the best.
    const std::int32_t v[] = {max, max, 0, 0};
    EXPECT_EQ(best_window_first(v, 4, 2), 1);
    EXPECT_EQ(best_window_last(v, 4, 2), 1);
}

TEST(BestWindow, RunLongerThanArrayReadsNothing) {
    const std::int32_t v[] = {4, 5};
    EXPECT_EQ(best_window_first(v, 2, 3), 0);
    EXPECT_EQ(best_window_last(v, 2, 0), 0);
}

TEST(Sort, AscendingAndDescending) {
    std::vector<long double> a = {3, 1, 2}, d = {3, 1, 2};
    sort_ascending(a.data(), 3);
    sort_descending(d.data(), 3);
    EXPECT_EQ(a, (std::vector<long double>{1, 2, 3}));
    EXPECT_EQ(d, (std::vector<long double>{3, 2, 1}));
    // Values a double cannot tell apart are still ordered.
    std::vector<long double> close = {1 + 0x1p-60L, 1, -0.5L, 1 + 0x1p-61L};
    sort_ascending(close.data(), 4);
    EXPECT_EQ(close, (std::vector<long double>{-0.5L, 1, 1 + 0x1p-61L, 1 + 0x1p-60L}));
}

TEST(SelectTopTagged, TagsFollowTheirValues) {
    std::vector<std::int32_t> v = {5, 9, 7, 9}, t = {0, 1, 2, 3};
    select_top_tagged(v.data(), t.data(), 4, 2);
    // 9 (tag 1) to position 0, then the 9 at position 3 to position 1.
    EXPECT_EQ(v, (std::vector<std::int32_t>{9, 9, 7, 5}));
    EXPECT_EQ(t, (std::vector<std::int32_t>{1, 3, 2, 0}));
}

TEST(SelectTopTagged, FullSortAndNoPositions) {
    std::vector<std::int32_t> v = {2, 8, 5}, t = {20, 80, 50};
    select_top_tagged(v.data(), t.data(), 3, 0);
    EXPECT_EQ(v, (std::vector<std::int32_t>{2, 8, 5}));
    select_top_tagged(v.data(), t.data(), 3, 5); // more positions than values: a full sort
    EXPECT_EQ(v, (std::vector<std::int32_t>{8, 5, 2}));
    EXPECT_EQ(t, (std::vector<std::int32_t>{80, 50, 20}));
}

TEST(SmoothKernel, MovingAverageRenormalisedAtTheEnds) {
    const long double x[] = {3, 6, 9, 12};
    const long double k[] = {1, 1, 1};
    std::vector<long double> y(4);
    smooth_kernel(x, 4, k, 1, 3, y.data());
    EXPECT_EQ(y, (std::vector<long double>{4.5L, 6, 9, 10.5L}));

    const long double flat[] = {2.5L, 2.5L, 2.5L, 2.5L, 2.5L};
    const long double k121[] = {1, 2, 1};
    long double z[5] = {};
    smooth_kernel(flat, 5, k121, 1, 3, z);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(z[i], 2.5L) << i;
}

TEST(SmoothKernel, KernelIsNotReversed) {
    const long double x[] = {1, 2, 4};
    const long double k[] = {1, 3};
    std::vector<long double> y(3);
    // Centre 0: element 1 weights the next point. (1 + 6)/4, (2 + 12)/4, 4/1.
    smooth_kernel(x, 3, k, 0, 2, y.data());
    EXPECT_EQ(y, (std::vector<long double>{1.75L, 3.5L, 4}));
    // Centre 1: at index 0 only element 1 is in use: 1*3/3.
    smooth_kernel(x, 3, k, 1, 2, y.data());
    EXPECT_EQ(y, (std::vector<long double>{1, 1.75L, 3.5L}));
}

TEST(SmoothKernel, CentreOutsideKernelWritesNothing) {
    const long double x[] = {1, 2};
    const long double k[] = {1, 1};
    long double y[2] = {-7, -7};
    smooth_kernel(x, 2, k, 2, 2, y);
    smooth_kernel(x, 2, k, -1, 2, y);
    EXPECT_EQ(y[0], -7.0L);
    EXPECT_EQ(y[1], -7.0L);
}

} // namespace
} // namespace quillmark
