#include "analyze/item_statistics.h"

#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

namespace quillmark {
namespace {

// Right (1) answers as option A, the key of every question, and wrong (0)
// answers as option B.
ResponseMatrix make_matrix(const std::vector<std::vector<int>>& rows) {
    ResponseMatrix matrix;
    matrix.sheets = static_cast<std::int32_t>(rows.size());
    matrix.items = static_cast<std::int32_t>(rows.front().size());
    std::vector<unsigned char> cells;
    for (const auto& row : rows)
        for (int mark : row) cells.push_back(mark ? static_cast<unsigned char>(RIGHT_BIT) : 1);
    matrix.cells = ByteArray(cells);
    matrix.accepted.assign(static_cast<std::size_t>(matrix.items), 1u);
    return matrix;
}

// Sheets' responses, one string per sheet, against a key of one letter per
// question: a response is right when it is the key's letter.
ResponseMatrix make_answers(const std::vector<std::string>& sheets, const std::string& key) {
    ResponseMatrix matrix;
    matrix.sheets = static_cast<std::int32_t>(sheets.size());
    matrix.items = static_cast<std::int32_t>(key.size());
    std::vector<unsigned char> cells;
    for (const std::string& sheet : sheets)
        for (std::size_t q = 0; q < key.size(); ++q) {
            const unsigned char response = q < sheet.size() ? sheet[q] : '-';
            const unsigned char code = option_code(response);
            cells.push_back(response == key[q] ? code | RIGHT_BIT : code);
        }
    matrix.cells = ByteArray(cells);
    for (char letter : key) matrix.accepted.push_back(1u << (letter - 'A'));
    return matrix;
}

constexpr double TIGHT = 1e-12;

// Five sheets, four questions: question 1 right everywhere, the others
// rising with the total. Totals 3, 2, 4, 1, 3.
ResponseMatrix consistent_test() {
    return make_matrix({{1, 1, 1, 0}, {1, 1, 0, 0}, {1, 1, 1, 1}, {1, 0, 0, 0}, {1, 1, 1, 0}});
}

// Five sheets, four questions: question 4 is right only on the third sheet,
// one of the two weakest. Totals 3, 3, 2, 3, 2.
ResponseMatrix test_with_a_bad_question() {
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
    // Deviations 0.4, -0.6, 1.4, -1.6, 0.4: m2 = 1.04, m3 = -1.44 / 5,
    // m4 = 10.576 / 5.
    ASSERT_TRUE(test.skewness.has_value());
    EXPECT_NEAR(static_cast<double>(*test.skewness), -0.288 / std::pow(1.04, 1.5), TIGHT);
    ASSERT_TRUE(test.kurtosis.has_value());
    EXPECT_NEAR(static_cast<double>(*test.kurtosis), 2.1152 / (1.04 * 1.04) - 3, TIGHT);
    EXPECT_EQ(test.score_counts, (std::vector<std::int32_t>{0, 1, 1, 2, 1}));
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
    EXPECT_FALSE(same.skewness.has_value());
    EXPECT_FALSE(same.kurtosis.has_value());
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
    EXPECT_EQ(group_size(1), 0);   // 0.27
    EXPECT_EQ(group_size(2), 1);   // 0.54
    EXPECT_EQ(group_size(5), 1);   // 1.35
    EXPECT_EQ(group_size(6), 2);   // 1.62
    EXPECT_EQ(group_size(10), 3);  // 2.7
    EXPECT_EQ(group_size(50), 14); // 13.5 exactly: half up
    EXPECT_EQ(group_size(100), 27);
    EXPECT_EQ(group_size(1000), 270);
}

TEST(ExtremeGroups, EqualTotalsAtTheEdgeGoToTheEarlierSheet) {
    constexpr unsigned char U = UPPER_GROUP;
    constexpr unsigned char L = LOWER_GROUP;
    EXPECT_EQ(extreme_groups({2, 5, 5, 1, 1, 5}, 2),
              (std::vector<unsigned char>{0, U, U, L, L, 0}));
    EXPECT_EQ(extreme_groups({1, 1, 2}, 2), (std::vector<unsigned char>{U | L, L, U}));
    // Every total the same: the first sheets go to both groups.
    EXPECT_EQ(extreme_groups({3, 3, 3, 3}, 1), (std::vector<unsigned char>{U | L, 0, 0, 0}));
    EXPECT_EQ(extreme_groups({4, 0, 2}, 0), (std::vector<unsigned char>{0, 0, 0}));
}

TEST(PointBiserial, PearsonOfAChoiceAgainstAScore) {
    // x = 1,1,0,0,0 and r = 3,3,2,1,1: cov*n^2 = 5*6 - 2*10, var_x*n^2 = 6,
    // var_r*n^2 = 5*24 - 100.
    EXPECT_NEAR(static_cast<double>(*point_biserial(5, 2, 6, 10, 24)), 10 / std::sqrt(120.0),
                TIGHT);
    EXPECT_FALSE(point_biserial(5, 0, 0, 10, 24).has_value());  // nobody chose it
    EXPECT_FALSE(point_biserial(5, 5, 10, 10, 24).has_value()); // everybody did
    EXPECT_FALSE(point_biserial(4, 2, 4, 8, 16).has_value());   // every score is 2
}

TEST(PointBiserial, ExactAtTheMostSheetsAReportNumbers) {
    // 2^31 - 1 sheets: one chose the option and has rest score 0, the
    // others rest score 999. Covariance -999(n - 1), variances n - 1 and
    // 999^2 (n - 1): a correlation of exactly -1. The scaled variance of the
    // scores, n * 999^2 (n - 1) - (999 (n - 1))^2, takes its two products
    // past 2^64; worked out in extended precision it is off by some 160,000
    // and the correlation in its eleventh place.
    const std::int64_t n = INT32_MAX;
    const auto r = point_biserial(n, 1, 0, 999 * (n - 1), 999 * 999 * (n - 1));
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(static_cast<double>(*r), -1.0, 1e-15);
}

TEST(ItemFlag, ThresholdsAndOrder) {
    EXPECT_EQ(item_flag(10, 10, std::nullopt), ItemFlag::no_variance);
    EXPECT_EQ(item_flag(0, 10, std::nullopt), ItemFlag::no_variance);
    EXPECT_EQ(item_flag(9, 10, 0.2L), ItemFlag::none);      // 90% is not above 90%
    EXPECT_EQ(item_flag(19, 20, 0.2L), ItemFlag::too_easy); // 95%
    EXPECT_EQ(item_flag(3, 10, 0.2L), ItemFlag::none);      // 30% is not below 30%
    EXPECT_EQ(item_flag(2, 10, 0.2L), ItemFlag::too_hard);
    // A negative correlation is the more serious problem.
    EXPECT_EQ(item_flag(19, 20, -0.01L), ItemFlag::negative);
    EXPECT_EQ(item_flag(1, 10, -0.3L), ItemFlag::negative);
    EXPECT_EQ(item_flag(5, 10, 0.0L), ItemFlag::none);
    EXPECT_EQ(item_flag(5, 10, std::nullopt), ItemFlag::none);
}

// The named bounds that charts draw are where item_flag changes its answer.
TEST(ItemFlag, TooEasyAndTooHardBeginAtTheNamedBounds) {
    const std::int32_t sheets = 1000;
    EXPECT_EQ(item_flag(TOO_EASY_TENTHS * 100, sheets, 0.2L), ItemFlag::none);
    EXPECT_EQ(item_flag(TOO_EASY_TENTHS * 100 + 1, sheets, 0.2L), ItemFlag::too_easy);
    EXPECT_EQ(item_flag(TOO_HARD_TENTHS * 100, sheets, 0.2L), ItemFlag::none);
    EXPECT_EQ(item_flag(TOO_HARD_TENTHS * 100 - 1, sheets, 0.2L), ItemFlag::too_hard);
}

OptionStatistics option_row(char letter, bool key, long double upper,
                            std::optional<long double> r) {
    OptionStatistics option;
    option.option = letter;
    option.key = key;
    option.upper = upper;
    option.point_biserial = r;
    return option;
}

TEST(SuspectedKey, AnUnkeyedLetterMustBeatTheKeyInCorrelationAndInTheUpperGroup) {
    const OptionStatistics key = option_row('B', true, 0.3L, 0.10L);
    EXPECT_EQ(suspected_key({key, option_row('C', false, 0.5L, 0.30L)}), 'C');
    // Upper group no more often than the key: nothing.
    EXPECT_EQ(suspected_key({key, option_row('C', false, 0.3L, 0.30L)}), 0);
    // Correlation not above the key's, or not positive: nothing.
    EXPECT_EQ(suspected_key({key, option_row('C', false, 0.5L, 0.10L)}), 0);
    EXPECT_EQ(suspected_key(
                  {option_row('B', true, 0.1L, -0.4L), option_row('C', false, 0.5L, 0.0L)}),
              0);
    // Of two candidates the higher correlation; "none" is never one.
    EXPECT_EQ(suspected_key({key, option_row('C', false, 0.5L, 0.30L),
                             option_row('D', false, 0.4L, 0.35L),
                             option_row(0, false, 0.9L, 0.9L)}),
              'D');
    // Every accepted letter must be beaten: A is accepted as well.
    EXPECT_EQ(suspected_key(
                  {option_row('A', true, 0.6L, 0.05L), key, option_row('C', false, 0.5L, 0.30L)}),
              0);
    // An accepted letter nobody chose has no correlation and stands in no way.
    EXPECT_EQ(suspected_key(
                  {option_row('B', true, 0.0L, std::nullopt), option_row('C', false, 0.5L, 0.30L)}),
              'C');
}

TEST(ItemStatistics, OptionRowsAndAKeyError) {
    // Question 4 is keyed B, but the two best sheets chose C.
    // Totals 3, 3, 3, 2, 0; the upper group is sheet 1, the lower sheet 5.
    const std::vector<ItemStatistics> items =
        item_statistics(make_answers({"AAAC", "AAAC", "AABB", "ABBB", "BBBD"}, "AAAB"));
    ASSERT_EQ(items.size(), 4u);
    const ItemStatistics& bad = items[3];
    // Rest scores 3, 3, 2, 1, 0: n * sum r^2 - (sum r)^2 = 5 * 23 - 81 = 34.
    // B: x = 0,0,1,1,0: (5 * 3 - 2 * 9) / sqrt(6 * 34);
    // C: x = 1,1,0,0,0: (5 * 6 - 2 * 9) / sqrt(6 * 34);
    // D: x = 0,0,0,0,1: (5 * 0 - 1 * 9) / sqrt(4 * 34).
    ASSERT_EQ(bad.options.size(), 3u);
    EXPECT_EQ(bad.options[0].option, 'B');
    EXPECT_TRUE(bad.options[0].key);
    EXPECT_EQ(bad.options[0].count, 2);
    EXPECT_NEAR(static_cast<double>(bad.options[0].share), 0.4, TIGHT);
    EXPECT_NEAR(static_cast<double>(*bad.options[0].upper), 0.0, TIGHT);
    EXPECT_NEAR(static_cast<double>(*bad.options[0].lower), 0.0, TIGHT);
    EXPECT_NEAR(static_cast<double>(*bad.options[0].point_biserial), -3 / std::sqrt(204.0), TIGHT);
    EXPECT_EQ(bad.options[1].option, 'C');
    EXPECT_FALSE(bad.options[1].key);
    EXPECT_NEAR(static_cast<double>(*bad.options[1].upper), 1.0, TIGHT);
    EXPECT_NEAR(static_cast<double>(*bad.options[1].point_biserial), 12 / std::sqrt(204.0), TIGHT);
    EXPECT_EQ(bad.options[2].option, 'D');
    EXPECT_NEAR(static_cast<double>(*bad.options[2].lower), 1.0, TIGHT);
    EXPECT_NEAR(static_cast<double>(*bad.options[2].point_biserial), -9 / std::sqrt(136.0), TIGHT);
    // The item's own correlation is the key's; the key error flag comes first.
    EXPECT_NEAR(static_cast<double>(*bad.point_biserial), -3 / std::sqrt(204.0), TIGHT);
    EXPECT_EQ(bad.key_error, 'C');
    EXPECT_EQ(bad.flag, ItemFlag::key_error);

    // Question 1: A by four (rest 2, 2, 2, 1), B by the last (rest 0):
    // (5 * 7 - 4 * 7) / sqrt(4 * 16).
    const ItemStatistics& good = items[0];
    ASSERT_EQ(good.options.size(), 2u);
    EXPECT_NEAR(static_cast<double>(*good.options[0].point_biserial), 0.875, TIGHT);
    EXPECT_NEAR(static_cast<double>(*good.options[1].point_biserial), -0.875, TIGHT);
    EXPECT_EQ(good.key_error, 0);
    EXPECT_EQ(good.flag, ItemFlag::none);
}

TEST(ItemStatistics, ALetterScoredRightIsAKeyAlsoWhenNotListed) {
    // Question 1 keyed A (listed), question 2 keyed B but not listed: its
    // right answers alone make B a key; C, never right, is not one.
    ResponseMatrix matrix = make_answers({"AB", "AC", "BB"}, "AB");
    matrix.accepted[1] = 0;
    const std::vector<ItemStatistics> items = item_statistics(matrix);
    ASSERT_EQ(items[1].options.size(), 2u);
    EXPECT_EQ(items[1].options[0].option, 'B');
    EXPECT_TRUE(items[1].options[0].key);
    EXPECT_EQ(items[1].options[1].option, 'C');
    EXPECT_FALSE(items[1].options[1].key);
    EXPECT_TRUE(items[0].options[0].key);
}

TEST(ItemStatistics, NoneCollectsEveryMarkThatIsNoLetterAndAKeyNobodyChoseHasItsRow) {
    // Question 1 keyed C: responses A, '*', '-', 'Z', '7' and missing.
    const std::vector<ItemStatistics> items =
        item_statistics(make_answers({"AA", "*A", "-A", "ZB", "7B", ""}, "CA"));
    const std::vector<OptionStatistics>& options = items[0].options;
    ASSERT_EQ(options.size(), 3u);
    EXPECT_EQ(options[0].option, 'A');
    EXPECT_EQ(options[0].count, 1);
    EXPECT_EQ(options[1].option, 'C');
    EXPECT_TRUE(options[1].key);
    EXPECT_EQ(options[1].count, 0);
    EXPECT_FALSE(options[1].point_biserial.has_value());
    EXPECT_EQ(options[2].option, 0);
    EXPECT_EQ(options[2].count, 5);
    EXPECT_NEAR(static_cast<double>(options[2].share), 5.0 / 6, TIGHT);
    // Nobody is right, and the one A goes with a total of 1 (the upper
    // group is sheets 1 and 2): a key error outranks "no variance".
    EXPECT_EQ(items[0].key_error, 'A');
    EXPECT_EQ(items[0].flag, ItemFlag::key_error);
    EXPECT_EQ(items[1].flag, ItemFlag::none);
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
    EXPECT_EQ(items[0].flag, ItemFlag::no_variance);

    // Question 2: x = 1,1,1,0,1, rest = 2,1,3,1,2: r = 4 / sqrt(4 * 14).
    EXPECT_NEAR(static_cast<double>(items[1].difficulty), 0.8, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[1].point_biserial), std::sqrt(2.0 / 7), TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[1].discrimination), 1.0, TIGHT);
    EXPECT_EQ(items[1].flag, ItemFlag::none);

    // Question 3: x = 1,0,1,0,1, rest = 2,2,3,1,2: r = 5 / sqrt(6 * 10).
    EXPECT_NEAR(static_cast<double>(items[2].difficulty), 0.6, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[2].point_biserial), std::sqrt(5.0 / 12), TIGHT);
    EXPECT_EQ(items[2].flag, ItemFlag::none);

    // Question 4: x = 0,0,1,0,0, rest = 3,2,3,1,3: r = 3 / sqrt(4 * 16).
    EXPECT_NEAR(static_cast<double>(items[3].difficulty), 0.2, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].point_biserial), 0.375, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].discrimination), 1.0, TIGHT);
    EXPECT_EQ(items[3].flag, ItemFlag::too_hard);
}

TEST(ItemStatistics, NegativeDiscriminationAndAConstantRest) {
    const std::vector<ItemStatistics> items = item_statistics(test_with_a_bad_question());
    // Upper group: sheet 0 (first of the totals 3); lower group: sheet 2
    // (first of the totals 2).
    // Question 2: x = 1,1,0,1,1, rest = 2,2,2,2,1: r = 1 / sqrt(4 * 4) negated.
    EXPECT_NEAR(static_cast<double>(*items[1].point_biserial), -0.25, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[1].discrimination), 1.0, TIGHT);
    EXPECT_EQ(items[1].flag, ItemFlag::negative);
    // Question 3: the rest is 2 on every sheet, so no correlation.
    EXPECT_FALSE(items[2].point_biserial.has_value());
    EXPECT_NEAR(static_cast<double>(*items[2].discrimination), 1.0, TIGHT);
    EXPECT_EQ(items[2].flag, ItemFlag::none);
    // Question 4: x = 0,0,1,0,0, rest = 3,3,1,3,2: r = -7 / sqrt(4 * 16).
    EXPECT_NEAR(static_cast<double>(items[3].difficulty), 0.2, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].point_biserial), -0.875, TIGHT);
    EXPECT_NEAR(static_cast<double>(*items[3].discrimination), -1.0, TIGHT);
    // The wrong option B goes with the totals (+0.875) and the upper group
    // chose it: the key is more likely wrong than the question.
    EXPECT_EQ(items[3].key_error, 'B');
    EXPECT_EQ(items[3].flag, ItemFlag::key_error);
}

TEST(ItemStatistics, OneSheetHasNeitherCorrelationNorGroups) {
    const std::vector<ItemStatistics> items = item_statistics(make_matrix({{1, 0, 1}}));
    ASSERT_EQ(items.size(), 3u);
    for (const ItemStatistics& item : items) {
        EXPECT_FALSE(item.point_biserial.has_value());
        EXPECT_FALSE(item.discrimination.has_value());
        EXPECT_EQ(item.flag, ItemFlag::no_variance);
        for (const OptionStatistics& option : item.options) {
            EXPECT_FALSE(option.upper.has_value());
            EXPECT_FALSE(option.point_biserial.has_value());
        }
    }
    EXPECT_NEAR(static_cast<double>(items[1].difficulty), 0.0, TIGHT);
}

} // namespace
} // namespace quillmark
