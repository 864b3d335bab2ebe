#include "analyze/item_statistics.h"

#include <cmath>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

ScoreMatrix make_matrix(const std::vector<std::vector<int>>& rows) {
    ScoreMatrix matrix;
    matrix.sheets = static_cast<std::int32_t>(rows.size());
    matrix.items = static_cast<std::int32_t>(rows.front().size());
    for (const auto& row : rows)
        for (int mark : row) matrix.correct.push_back(static_cast<unsigned char>(mark));
    return matrix;
}

constexpr double TIGHT = 1e-12;

// Five sheets, four questions: question 1 right everywhere, the others
// rising with the total. Totals 3, 2, 4, 1, 3.
ScoreMatrix consistent_test() {
    return make_matrix({{1, 1, 1, 0}, {1, 1, 0, 0}, {1, 1, 1, 1}, {1, 0, 0, 0}, {1, 1, 1, 0}});
}

// Five sheets, four questions: question 4 is right only on the third sheet,
// one of the two weakest. Totals 3, 3, 2, 3, 2.
ScoreMatrix test_with_a_bad_question() {
    return make_matrix({{1, 1, 1, 0}, {1, 1, 1, 0}, {1, 0, 0, 1}, {1, 1, 1, 0}, {1, 1, 0, 0}});
}

TEST(TestStatistics, MomentsMedianAndReliabilityOfAConsistentTest) {
    const TestStatistics test = test_statistics(consistent_test());
    EXPECT_EQ(test.sheets, 5);
    EXPECT_EQ(test.items, 4);
    EXPECT_NEAR(static_cast<double>(test.mean), 2.6, TIGHT);
    EXPECT_NEAR(static_cast<double>(test.median), 3.0, TIGHT);
    EXPECT_NEAR(static_cast<double>(test.variance), 26.0 / 25, TIGHT); // divisor 5
    EXPECT_NEAR(static_cast<double>(test.std_dev), std::sqrt(26.0) / 5, TIGHT);
    EXPECT_EQ(test.lowest, 1);
    EXPECT_EQ(test.highest, 4);
    // p = 1, 4/5, 3/5, 1/5: the sum of p*q is 14/25 against a variance of
    // 26/25, so KR-20 = 4/3 * (1 - 14/26) = 8/13, SEM = sd * sqrt(5/13).
    ASSERT_TRUE(test.kr20.has_value());
    EXPECT_NEAR(static_cast<double>(*test.kr20), 8.0 / 13, TIGHT);
    ASSERT_TRUE(test.sem.has_value());
    EXPECT_NEAR(static_cast<double>(*test.sem), std::sqrt(10.0) / 5, TIGHT);
}

TEST(TestStatistics, ReliabilityGoesBelowZeroWhenQuestionsDisagree) {
    const TestStatistics test = test_statistics(test_with_a_bad_question());
    EXPECT_NEAR(static_cast<double>(test.mean), 2.6, TIGHT);
    EXPECT_NEAR(static_cast<double>(test.median), 3.0, TIGHT);
    EXPECT_NEAR(static_cast<double>(test.variance), 6.0 / 25, TIGHT);
    // Sum of p*q = 0 + 4/25 + 6/25 + 4/25 = 14/25: KR-20 = 4/3 * (1 - 14/6).
    ASSERT_TRUE(test.kr20.has_value());
    EXPECT_NEAR(static_cast<double>(*test.kr20), -16.0 / 9, TIGHT);
    // sqrt(6/25) * sqrt(25/9) = sqrt(6) / 3.
    EXPECT_NEAR(static_cast<double>(*test.sem), std::sqrt(6.0) / 3, TIGHT);
}

TEST(TestStatistics, EvenCountTakesTheMeanOfTheMiddlePair) {
    const TestStatistics test =
        test_statistics(make_matrix({{1, 0, 0, 0}, {1, 1, 1, 1}, {1, 1, 0, 0}, {1, 1, 1, 0}}));
    EXPECT_NEAR(static_cast<double>(test.median), 2.5, TIGHT);
    EXPECT_EQ(test.lowest, 1);
    EXPECT_EQ(test.highest, 4);
}

TEST(TestStatistics, NoReliabilityWithoutVarianceOrWithOneQuestion) {
    // Every sheet the same total: variance 0.
    TestStatistics same = test_statistics(make_matrix({{1, 0}, {0, 1}, {1, 0}}));
    EXPECT_NEAR(static_cast<double>(same.std_dev), 0.0, TIGHT);
    EXPECT_FALSE(same.kr20.has_value());
    EXPECT_FALSE(same.sem.has_value());
    // One question: k / (k - 1) has no value.
    TestStatistics single = test_statistics(make_matrix({{1}, {0}, {1}}));
    EXPECT_GT(single.variance, 0);
    EXPECT_FALSE(single.kr20.has_value());
    // One sheet.
    TestStatistics one = test_statistics(make_matrix({{1, 0, 1}}));
    EXPECT_EQ(one.sheets, 1);
    EXPECT_NEAR(static_cast<double>(one.mean), 2.0, TIGHT);
    EXPECT_NEAR(static_cast<double>(one.median), 2.0, TIGHT);
    EXPECT_EQ(one.lowest, 2);
    EXPECT_EQ(one.highest, 2);
    EXPECT_FALSE(one.kr20.has_value());
}

TEST(GroupSize, TwentySevenPerCentRoundedHalfUp) {
    EXPECT_EQ(group_size(1), 0); // 0.27
    EXPECT_EQ(group_size(2), 1); // 0.54
    EXPECT_EQ(group_size(5), 1); // 1.35
    EXPECT_EQ(group_size(6), 2); // 1.62
    EXPECT_EQ(group_size(10), 3); // 2.7
    EXPECT_EQ(group_size(50), 14); // 13.5 exactly: half up
    EXPECT_EQ(group_size(100), 27);
    EXPECT_EQ(group_size(1000), 270);
}

TEST(ExtremeGroups, EqualTotalsAtTheEdgeGoToTheEarlierSheet) {
    std::vector<std::int32_t> upper;
    std::vector<std::int32_t> lower;
    extreme_groups({2, 5, 5, 1, 1, 5}, 2, upper, lower);
    EXPECT_EQ(upper, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(lower, (std::vector<std::int32_t>{3, 4}));
    // After the first exchange sheet 1 stands before sheet 0; the tie must
    // still go to sheet 0.
    extreme_groups({1, 1, 2}, 2, upper, lower);
    EXPECT_EQ(upper, (std::vector<std::int32_t>{2, 0}));
    EXPECT_EQ(lower, (std::vector<std::int32_t>{0, 1}));
}

TEST(ItemFlag, ThresholdsAndOrder) {
    EXPECT_STREQ(item_flag(10, 10, std::nullopt), FLAG_NO_VARIANCE);
    EXPECT_STREQ(item_flag(0, 10, std::nullopt), FLAG_NO_VARIANCE);
    EXPECT_STREQ(item_flag(9, 10, 0.2L), "");            // 90% is not above 90%
    EXPECT_STREQ(item_flag(19, 20, 0.2L), FLAG_TOO_EASY); // 95%
    EXPECT_STREQ(item_flag(3, 10, 0.2L), "");             // 30% is not below 30%
    EXPECT_STREQ(item_flag(2, 10, 0.2L), FLAG_TOO_HARD);
    // A negative correlation is the more serious problem.
    EXPECT_STREQ(item_flag(19, 20, -0.01L), FLAG_NEGATIVE);
    EXPECT_STREQ(item_flag(1, 10, -0.3L), FLAG_NEGATIVE);
    EXPECT_STREQ(item_flag(5, 10, 0.0L), "");
    EXPECT_STREQ(item_flag(5, 10, std::nullopt), "");
}

TEST(ItemStatistics, ConsistentTest) {
    const std::vector<ItemStatistics> items = item_statistics(consistent_test());
    ASSERT_EQ(items.size(), 4u);
    // Upper group: sheet 3 (total 4); lower group: sheet 4 (total 1).
    EXPECT_EQ(items[0].correct, 5);
    EXPECT_NEAR(static_cast<double>(items[0].difficulty), 1.0, TIGHT);
    EXPECT_FALSE(items[0].point_biserial.has_value());
    ASSERT_TRUE(items[0].discrimination.has_value());
    EXPECT_NEAR(static_cast<double>(*items[0].discrimination), 0.0, TIGHT);
    EXPECT_STREQ(items[0].flag, FLAG_NO_VARIANCE);

    // Question 2: x = 1,1,1,0,1, rest = 2,1,3,1,2: r = 4 / sqrt(4 * 14).
    EXPECT_NEAR(static_cast<double>(items[1].difficulty), 0.8, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[1].point_biserial), std::sqrt(2.0 / 7), TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[1].discrimination), 1.0, TIGHT);
    EXPECT_STREQ(items[1].flag, "");

    // Question 3: x = 1,0,1,0,1, rest = 2,2,3,1,2: r = 5 / sqrt(6 * 10).
    EXPECT_NEAR(static_cast<double>(items[2].difficulty), 0.6, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[2].point_biserial), std::sqrt(5.0 / 12), TIGHT);
    EXPECT_STREQ(items[2].flag, "");

    // Question 4: x = 0,0,1,0,0, rest = 3,2,3,1,3: r = 3 / sqrt(4 * 16).
    EXPECT_NEAR(static_cast<double>(items[3].difficulty), 0.2, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].point_biserial), 0.375, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].discrimination), 1.0, TIGHT);
    EXPECT_STREQ(items[3].flag, FLAG_TOO_HARD);
}

TEST(ItemStatistics, NegativeDiscriminationAndAConstantRest) {
    const std::vector<ItemStatistics> items = item_statistics(test_with_a_bad_question());
    // Upper group: sheet 0 (first of the totals 3); lower group: sheet 2
    // (first of the totals 2).
    // Question 2: x = 1,1,0,1,1, rest = 2,2,2,2,1: r = 1 / sqrt(4 * 4) negated.
    EXPECT_NEAR(static_cast<double>(*items[1].point_biserial), -0.25, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[1].discrimination), 1.0, TIGHT);
    EXPECT_STREQ(items[1].flag, FLAG_NEGATIVE);
    // Question 3: the rest is 2 on every sheet, so no correlation.
    EXPECT_FALSE(items[2].point_biserial.has_value());
    EXPECT_NEAR(static_cast<double>(*items[2].discrimination), 1.0, TIGHT);
    EXPECT_STREQ(items[2].flag, "");
    // Question 4: x = 0,0,1,0,0, rest = 3,3,1,3,2: r = -7 / sqrt(4 * 16).
    EXPECT_NEAR(static_cast<double>(items[3].difficulty), 0.2, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].point_biserial), -0.875, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].discrimination), -1.0, TIGHT);
    EXPECT_STREQ(items[3].flag, FLAG_NEGATIVE);
}

TEST(ItemStatistics, OneSheetHasNeitherCorrelationNorGroups) {
    const std::vector<ItemStatistics> items = item_statistics(make_matrix({{1, 0, 1}}));
    ASSERT_EQ(items.size(), 3u);
    for (const ItemStatistics& item : items) {
        EXPECT_FALSE(item.point_biserial.has_value());
        EXPECT_FALSE(item.discrimination.has_value());
        EXPECT_STREQ(item.flag, FLAG_NO_VARIANCE);
    }
    EXPECT_NEAR(static_cast<double>(items[1].difficulty), 0.0, TIGHT);
}

} // namespace
} // namespace quillmark
