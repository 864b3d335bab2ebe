#include "analyze/rasch.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "stats/random.h"

namespace quillmark {
namespace {

using Sheets = std::vector<std::vector<int>>;

// Right (1) answers get RIGHT_BIT, wrong (0) ones option B.
ResponseMatrix make_matrix(const Sheets& sheets) {
    ResponseMatrix matrix;
    matrix.sheets = static_cast<std::int32_t>(sheets.size());
    matrix.items = static_cast<std::int32_t>(sheets.front().size());
    std::vector<unsigned char> cells;
    for (const auto& sheet : sheets)
        for (int mark : sheet) cells.push_back(mark ? static_cast<unsigned char>(RIGHT_BIT) : 1);
    matrix.cells = ByteArray(cells);
    return matrix;
}

RaschAnalysis rasch_of(const Sheets& sheets) {
    std::vector<std::int32_t> numbers(sheets.front().size());
    for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<std::int32_t>(i + 1);
    return rasch_analysis(rasch_counts(make_matrix(sheets)), numbers);
}

void add(Sheets& sheets, const std::vector<int>& pattern, int copies) {
    sheets.insert(sheets.end(), static_cast<std::size_t>(copies), pattern);
}

// Sheets answering by the Rasch model: abilities normal with the given
// spread, each answer right with chance 1 / (1 + exp(b - theta)).
Sheets simulate(const std::vector<double>& difficulties, int count, double spread,
                std::uint64_t seed) {
    rng_seed(seed);
    Sheets sheets;
    for (int s = 0; s < count; ++s) {
        const double theta = spread * static_cast<double>(gaussian_deviate());
        std::vector<int> sheet;
        for (double b : difficulties)
            sheet.push_back(static_cast<double>(rng_uniform()) < 1 / (1 + std::exp(b - theta)));
        sheets.push_back(sheet);
    }
    return sheets;
}

double value(const std::optional<long double>& figure) {
    EXPECT_TRUE(figure.has_value());
    return figure ? static_cast<double>(*figure) : NAN;
}

// Three questions: 20 sheets with one right answer (5 question 1, 5
// question 2, 10 question 3), 10 with two (2 questions 1 and 2, 4 questions
// 1 and 3, 4 questions 2 and 3), 2 with none and 3 with all.
//
// The conditional likelihood worked out by hand. Questions 1 and 2 have
// the same data, so b = (beta, beta, -2 beta) after centring; with
// eps = exp(-b) in proportion (1, 1, z), z = exp(3 beta), a sheet with one
// right answer has question 3 right with chance z / (2 + z), one with two
// with chance 2z / (1 + 2z). Question 3's equation, right answers =
// expected, is 18 = 20 z / (2 + z) + 10 * 2z / (1 + 2z), solved by z = 2:
// 20 / 2 + 20 * 2 / 5 = 18. So beta = ln 2 / 3.
//
// The information at z = 2. Score 1: chances (1/4, 1/4, 1/2), the
// multinomial covariance diag(p) - pp'. Score 2: chances (3/5, 3/5, 4/5);
// two right means exactly one wrong, so both of a pair right is the third
// wrong: 1/5 for questions 1 and 2, 2/5 for 1 and 3 or 2 and 3. So
//   I = 20 Cov_1 + 10 Cov_2 = [[6.15, -2.85, -3.3], [-2.85, 6.15, -3.3],
//                              [-3.3, -3.3, 6.6]],
// with eigenvectors (1, -1, 0) (eigenvalue 9), (1, 1, -2) (9.9) and the
// constant (0). The covariance of the centred estimates is I^+, whose
// diagonal is 1/2/9 + 1/6/9.9 = 43/594 for questions 1 and 2 and
// 4/6/9.9 = 20/297 for question 3.
//
// Person measures: with a = 2^(1/3) the question measures are
// ln(a, a, a^-2), and with u = exp(theta) the expected score s,
// 2u / (u + a) + u / (u + a^-2) = s, clears to the quadratic
// (3 - s) u^2 + ((2 - s) a^-2 + (1 - s) a) u - s / a = 0.
Sheets hand_case() {
    Sheets sheets;
    add(sheets, {0, 0, 0}, 2);
    add(sheets, {1, 0, 0}, 5);
    add(sheets, {0, 1, 0}, 5);
    add(sheets, {0, 0, 1}, 10);
    add(sheets, {1, 1, 0}, 2);
    add(sheets, {1, 0, 1}, 4);
    add(sheets, {0, 1, 1}, 4);
    add(sheets, {1, 1, 1}, 3);
    return sheets;
}

double hand_measure(double score) {
    const double a = std::cbrt(2.0);
    const double quadratic = 3 - score;
    const double linear = (2 - score) / (a * a) + (1 - score) * a;
    const double constant = -score / a;
    const double u =
        (-linear + std::sqrt(linear * linear - 4 * quadratic * constant)) / (2 * quadratic);
    return std::log(u);
}

TEST(Rasch, HandSizedCaseMeasuresAndErrorsAsWorkedOut) {
    const RaschAnalysis rasch = rasch_of(hand_case());
    ASSERT_EQ(rasch.message, "");
    const double beta = std::log(2.0) / 3;
    const double expected_b[3] = {beta, beta, -2 * beta};
    const double expected_se[3] = {std::sqrt(43.0 / 594), std::sqrt(43.0 / 594),
                                   std::sqrt(20.0 / 297)};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(value(rasch.items[i].measure), expected_b[i], 1e-9) << i;
        EXPECT_NEAR(value(rasch.items[i].se), expected_se[i], 1e-9) << i;
    }
    EXPECT_EQ(rasch.persons, 30);
    EXPECT_EQ(rasch.calibrated, 3);

    // Every raw score, the extremes by the 0.3 rule; SE = 1 / sqrt(sum PQ).
    const double targets[4] = {0.3, 1, 2, 2.7};
    const std::int32_t sheets[4] = {2, 20, 10, 3};
    ASSERT_EQ(rasch.scores.size(), 4u);
    for (int r = 0; r <= 3; ++r) {
        const RaschScore& score = rasch.scores[r];
        const double theta = hand_measure(targets[r]);
        double information = 0;
        for (double b : expected_b) {
            const double p = 1 / (1 + std::exp(b - theta));
            information += p * (1 - p);
        }
        EXPECT_NEAR(value(score.measure), theta, 1e-9) << r;
        EXPECT_NEAR(value(score.se), 1 / std::sqrt(information), 1e-9) << r;
        EXPECT_EQ(score.sheets, sheets[r]);
        EXPECT_EQ(score.extreme, r == 0 || r == 3);
    }
}

TEST(Rasch, HandSizedCaseFitAndReliabilitySheetBySheet) {
    // The fit statistics summed sheet by sheet, as the definitions read,
    // at the hand-worked measures: outfit = sum z^2 / n with z the
    // standardised residual; infit = sum (x - P)^2 / sum V;
    // q_out^2 = sum C / V^2 / n^2 - 1 / n; q_in^2 = sum (C - V^2) / (sum V)^2,
    // C = P Q^4 + Q P^4; Z = (MS^(1/3) - 1) (3 / q) + q / 3. Only the 30
    // sheets between the extremes count.
    const Sheets sheets = hand_case();
    const RaschAnalysis rasch = rasch_of(sheets);
    const double beta = std::log(2.0) / 3;
    const double b[3] = {beta, beta, -2 * beta};
    for (int i = 0; i < 3; ++i) {
        double z2 = 0, squares = 0, variance = 0, out_q = 0, in_q = 0, n = 0;
        for (const auto& sheet : sheets) {
            const int score = sheet[0] + sheet[1] + sheet[2];
            if (score == 0 || score == 3) continue;
            const double p = 1 / (1 + std::exp(b[i] - hand_measure(score)));
            const double v = p * (1 - p);
            const double c = p * std::pow(1 - p, 4) + (1 - p) * std::pow(p, 4);
            const double residual = sheet[i] - p;
            z2 += residual * residual / v;
            squares += residual * residual;
            variance += v;
            out_q += c / (v * v);
            in_q += c - v * v;
            n += 1;
        }
        const double outfit = z2 / n;
        const double infit = squares / variance;
        const double q_out = std::sqrt(out_q / (n * n) - 1 / n);
        const double q_in = std::sqrt(in_q / (variance * variance));
        EXPECT_NEAR(value(rasch.items[i].outfit), outfit, 1e-9) << i;
        EXPECT_NEAR(value(rasch.items[i].infit), infit, 1e-9) << i;
        EXPECT_NEAR(value(rasch.items[i].outfit_z),
                    (std::cbrt(outfit) - 1) * (3 / q_out) + q_out / 3, 1e-8)
            << i;
        EXPECT_NEAR(value(rasch.items[i].infit_z), (std::cbrt(infit) - 1) * (3 / q_in) + q_in / 3,
                    1e-8)
            << i;
    }

    // Person reliability over the 30 sheets: 20 at score 1, 10 at score 2;
    // variance with divisor n - 1 against the mean squared error.
    const double t1 = hand_measure(1), t2 = hand_measure(2);
    const double mean = (20 * t1 + 10 * t2) / 30;
    const double observed = (20 * (t1 - mean) * (t1 - mean) + 10 * (t2 - mean) * (t2 - mean)) / 29;
    const double se1 = value(rasch.scores[1].se), se2 = value(rasch.scores[2].se);
    const double error = (20 * se1 * se1 + 10 * se2 * se2) / 30;
    EXPECT_NEAR(value(rasch.person_reliability), (observed - error) / observed, 1e-9);
    // Item reliability: the measures' variance (divisor 2) against their
    // mean squared error.
    const double items_observed = (2 * beta * beta + 4 * beta * beta) / 2;
    const double items_error = (43.0 / 594 * 2 + 20.0 / 297) / 3;
    EXPECT_NEAR(value(rasch.item_reliability), (items_observed - items_error) / items_observed,
                1e-9);
}

TEST(Rasch, TwoQuestionsAlikeMeasureZeroWithoutZOrReliability) {
    // Each sheet has one of two questions right, each question on two
    // sheets: b = 0, I = 4 * [[1/4, -1/4], [-1/4, 1/4]], I^+ has 1/4 on the
    // diagonal, SE 1/2. Every chance is 1/2, so the mean squares are 1 and
    // cannot vary: no Z. One measure of sheets and no spread of questions:
    // no reliabilities. Score 1 at theta 0, SE 1 / sqrt(2 * 1/4).
    const RaschAnalysis rasch = rasch_of({{1, 0}, {0, 1}, {1, 0}, {0, 1}});
    ASSERT_EQ(rasch.message, "");
    for (const RaschItem& item : rasch.items) {
        EXPECT_NEAR(value(item.measure), 0, 1e-12);
        EXPECT_NEAR(value(item.se), 0.5, 1e-12);
        EXPECT_NEAR(value(item.infit), 1, 1e-12);
        EXPECT_NEAR(value(item.outfit), 1, 1e-12);
        EXPECT_FALSE(item.infit_z.has_value());
        EXPECT_FALSE(item.outfit_z.has_value());
    }
    EXPECT_NEAR(value(rasch.scores[1].measure), 0, 1e-12);
    EXPECT_NEAR(value(rasch.scores[1].se), std::sqrt(2.0), 1e-12);
    EXPECT_FALSE(rasch.person_reliability.has_value());
    EXPECT_FALSE(rasch.item_reliability.has_value());
}

TEST(Rasch, CountsAreTheSufficientStatistics) {
    const RaschCounts counts =
        rasch_counts(make_matrix({{1, 0, 1}, {0, 0, 0}, {1, 1, 0}, {0, 0, 1}, {1, 0, 1}}));
    EXPECT_EQ(counts.items, 3);
    EXPECT_EQ(counts.sheets, (std::vector<std::int32_t>{1, 1, 3, 0}));
    // Score 1: the fourth sheet; score 2: sheets 1, 3 and 5.
    EXPECT_EQ(counts.right, (std::vector<std::int32_t>{0, 0, 0, 0, 0, 1, 3, 1, 2, 0, 0, 0}));
}

TEST(Rasch, SimulatedDifficultiesRecoveredWithinTheirErrors) {
    const std::vector<double> truth = {-2.0, -1.5, -1.0, -0.6, -0.3, 0.0,
                                       0.2,  0.5,  0.9,  1.3,  1.8,  2.4};
    const RaschAnalysis rasch = rasch_of(simulate(truth, 3000, 1.2, 11));
    ASSERT_EQ(rasch.message, "");
    double mean = 0;
    for (double b : truth) mean += b / static_cast<double>(truth.size());
    double sum = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const double measure = value(rasch.items[i].measure);
        sum += measure;
        EXPECT_LT(std::fabs(measure - (truth[i] - mean)), 3 * value(rasch.items[i].se)) << i;
    }
    EXPECT_NEAR(sum, 0, 1e-12);
    EXPECT_GT(value(rasch.person_reliability), 0.5);
    EXPECT_GT(value(rasch.item_reliability), 0.99);
}

TEST(Rasch, TheOrderOfTheQuestionsDoesNotMatter) {
    const Sheets sheets = simulate({-1.0, 0.3, 1.1, -0.2, 0.6}, 400, 1.0, 5);
    const std::vector<int> order = {3, 0, 4, 1, 2};
    Sheets shuffled;
    for (const auto& sheet : sheets) {
        std::vector<int> row;
        for (int i : order) row.push_back(sheet[i]);
        shuffled.push_back(row);
    }
    const RaschAnalysis plain = rasch_of(sheets);
    const RaschAnalysis moved = rasch_of(shuffled);
    for (std::size_t c = 0; c < order.size(); ++c) {
        const RaschItem& a = plain.items[order[c]];
        const RaschItem& b = moved.items[c];
        EXPECT_NEAR(value(b.measure), value(a.measure), 1e-10);
        EXPECT_NEAR(value(b.se), value(a.se), 1e-10);
        EXPECT_NEAR(value(b.infit), value(a.infit), 1e-10);
        EXPECT_NEAR(value(b.outfit_z), value(a.outfit_z), 1e-9);
    }
    for (std::size_t r = 0; r < plain.scores.size(); ++r)
        EXPECT_NEAR(value(moved.scores[r].measure), value(plain.scores[r].measure), 1e-10);
}

TEST(Rasch, RightAndWrongSwappedMirrorsEveryMeasure) {
    // x -> 1 - x turns b into -b and the measure of score r into minus that
    // of k - r; errors and fit stay.
    const Sheets sheets = simulate({-1.4, -0.5, 0.0, 0.4, 1.7, 2.2}, 500, 1.3, 9);
    Sheets mirrored;
    for (const auto& sheet : sheets) {
        std::vector<int> row;
        for (int mark : sheet) row.push_back(1 - mark);
        mirrored.push_back(row);
    }
    const RaschAnalysis plain = rasch_of(sheets);
    const RaschAnalysis mirror = rasch_of(mirrored);
    for (std::size_t i = 0; i < plain.items.size(); ++i) {
        EXPECT_NEAR(value(mirror.items[i].measure), -value(plain.items[i].measure), 1e-10);
        EXPECT_NEAR(value(mirror.items[i].se), value(plain.items[i].se), 1e-10);
        EXPECT_NEAR(value(mirror.items[i].infit), value(plain.items[i].infit), 1e-10);
        EXPECT_NEAR(value(mirror.items[i].outfit), value(plain.items[i].outfit), 1e-10);
    }
    const std::size_t k = plain.scores.size() - 1;
    for (std::size_t r = 0; r <= k; ++r) {
        EXPECT_NEAR(value(mirror.scores[k - r].measure), -value(plain.scores[r].measure), 1e-10);
        EXPECT_NEAR(value(mirror.scores[k - r].se), value(plain.scores[r].se), 1e-10);
    }
}

TEST(Rasch, MeasuresDependOnlyOnTheTotals) {
    // Same right answers per question and same score counts, spread
    // differently over the scores: the conditional likelihood, and so the
    // measures and their errors, are the same; the fit is not.
    Sheets first, second;
    add(first, {1, 0, 0, 0}, 6);
    add(first, {0, 1, 0, 0}, 2);
    add(first, {1, 1, 1, 0}, 2);
    add(first, {0, 1, 1, 1}, 4);
    add(first, {0, 0, 1, 1}, 3);
    add(second, {1, 0, 0, 0}, 2);
    add(second, {0, 1, 0, 0}, 2);
    add(second, {0, 0, 1, 0}, 2);
    add(second, {0, 0, 0, 1}, 2);
    add(second, {1, 1, 0, 0}, 1);
    add(second, {0, 0, 1, 1}, 1);
    add(second, {1, 0, 1, 0}, 1);
    add(second, {0, 1, 1, 1}, 2);
    add(second, {1, 0, 1, 1}, 1);
    add(second, {1, 1, 0, 1}, 1);
    add(second, {1, 1, 1, 0}, 2);
    // Totals (8, 8, 9, 7) and scores (8 at 1, 3 at 2, 6 at 3) in both.
    const RaschAnalysis a = rasch_of(first);
    const RaschAnalysis b = rasch_of(second);
    ASSERT_EQ(a.message, "");
    ASSERT_EQ(b.message, "");
    bool fit_differs = false;
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(value(a.items[i].measure), value(b.items[i].measure), 1e-12);
        EXPECT_NEAR(value(a.items[i].se), value(b.items[i].se), 1e-12);
        fit_differs =
            fit_differs || std::fabs(value(a.items[i].infit) - value(b.items[i].infit)) > 1e-3;
    }
    EXPECT_TRUE(fit_differs);
}

TEST(Rasch, QuestionsRightOrWrongEverywhereAreLeftOut) {
    const Sheets sheets = simulate({-0.8, 0.1, 0.9, -0.3}, 300, 1.0, 3);
    // The same sheets with a question everyone got right in front and one
    // everyone got wrong in the middle.
    Sheets wider;
    for (const auto& sheet : sheets)
        wider.push_back({1, sheet[0], sheet[1], 0, sheet[2], sheet[3]});
    const RaschAnalysis plain = rasch_of(sheets);
    const RaschAnalysis rasch = rasch_of(wider);
    EXPECT_EQ(rasch.items[0].note, RaschNote::all_right);
    EXPECT_EQ(rasch.items[3].note, RaschNote::all_wrong);
    EXPECT_STREQ(rasch_note_text(RaschNote::all_right), "every sheet right");
    for (int i : {0, 3}) {
        EXPECT_FALSE(rasch.items[i].measure.has_value());
        EXPECT_FALSE(rasch.items[i].se.has_value());
        EXPECT_FALSE(rasch.items[i].infit.has_value());
    }
    const int from[4] = {1, 2, 4, 5};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(rasch.items[from[c]].note, RaschNote::none);
        EXPECT_NEAR(value(rasch.items[from[c]].measure), value(plain.items[c].measure), 1e-12);
        EXPECT_NEAR(value(rasch.items[from[c]].outfit), value(plain.items[c].outfit), 1e-12);
    }
    EXPECT_EQ(rasch.calibrated, 4);
    // Raw scores on all six: one more than on the four; 0 and 6 cannot be.
    ASSERT_EQ(rasch.scores.size(), 7u);
    EXPECT_FALSE(rasch.scores[0].measure.has_value());
    EXPECT_FALSE(rasch.scores[6].measure.has_value());
    for (int r = 0; r <= 4; ++r) {
        EXPECT_NEAR(value(rasch.scores[r + 1].measure), value(plain.scores[r].measure), 1e-12);
        EXPECT_EQ(rasch.scores[r + 1].sheets, plain.scores[r].sheets);
        EXPECT_EQ(rasch.scores[r + 1].extreme, r == 0 || r == 4);
    }
}

TEST(Rasch, AnswersWithoutFiniteMeasuresGiveAMessage) {
    struct Case {
        Sheets sheets;
        std::string message;
    };
    Sheets guttman;
    add(guttman, {1, 0, 0}, 3);
    add(guttman, {1, 1, 0}, 2);
    add(guttman, {1, 1, 1}, 1);
    add(guttman, {0, 0, 0}, 1);
    Sheets wrong;
    add(wrong, {1, 0, 0}, 2);
    add(wrong, {0, 1, 0}, 2);
    add(wrong, {1, 1, 1}, 1);
    add(wrong, {0, 0, 0}, 1);
    // Questions 1 and 2 are right on every sheet that has 3 or 4 right.
    Sheets blocks;
    add(blocks, {1, 0, 0, 0}, 2);
    add(blocks, {0, 1, 0, 0}, 2);
    add(blocks, {1, 1, 1, 0}, 2);
    add(blocks, {1, 1, 0, 1}, 2);
    Sheets one;
    add(one, {1, 0, 1}, 2);
    add(one, {1, 1, 1}, 1);
    add(one, {1, 0, 1}, 1);
    const Case cases[] = {
        {guttman, "question 1 is right on every sheet with a score between the extremes"},
        {wrong, "question 3 is wrong on every sheet with a score between the extremes"},
        {blocks,
         "the 2 questions with the most right answers are right on every sheet that "
         "has any other question right"},
        {one, "fewer than two questions with both right and wrong answers"},
    };
    for (const Case& test : cases) {
        const RaschAnalysis rasch = rasch_of(test.sheets);
        EXPECT_EQ(rasch.message, test.message);
        EXPECT_EQ(rasch.calibrated, 0);
        for (const RaschItem& item : rasch.items) EXPECT_FALSE(item.measure.has_value());
        for (const RaschScore& score : rasch.scores) EXPECT_FALSE(score.measure.has_value());
        EXPECT_FALSE(rasch.person_reliability.has_value());
    }
}

TEST(Rasch, AThousandQuestionsOverAWideRange) {
    // Difficulties from -6 to 6 logits: the elementary symmetric functions
    // of these span far more than the range of any floating format.
    std::vector<double> truth(1000);
    for (std::size_t i = 0; i < truth.size(); ++i)
        truth[i] = -6 + 12 * static_cast<double>(i) / 999;
    const RaschAnalysis rasch = rasch_of(simulate(truth, 300, 3.0, 17));
    ASSERT_EQ(rasch.message, "");
    double squares = 0, sum = 0;
    int calibrated = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const RaschItem& item = rasch.items[i];
        if (item.note != RaschNote::none) continue;
        const double measure = value(item.measure);
        ASSERT_TRUE(std::isfinite(measure) && std::isfinite(value(item.se)) && value(item.se) > 0);
        ASSERT_TRUE(std::isfinite(value(item.infit_z)) && std::isfinite(value(item.outfit_z)));
        sum += measure;
        ++calibrated;
    }
    EXPECT_EQ(calibrated, rasch.calibrated);
    EXPECT_GT(calibrated, 900);
    EXPECT_NEAR(sum, 0, 1e-9);
    // Against the truth, centred on the calibrated questions: the errors,
    // in units of their SE, have a mean square near 1.
    double centre = 0;
    for (std::size_t i = 0; i < truth.size(); ++i)
        if (rasch.items[i].note == RaschNote::none) centre += truth[i] / calibrated;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const RaschItem& item = rasch.items[i];
        if (item.note != RaschNote::none) continue;
        const double z = (value(item.measure) - (truth[i] - centre)) / value(item.se);
        squares += z * z;
    }
    EXPECT_NEAR(squares / calibrated, 1, 0.2);
    for (const RaschScore& score : rasch.scores) {
        if (score.measure) {
            ASSERT_TRUE(std::isfinite(static_cast<double>(*score.measure)));
        }
    }
}

} // namespace
} // namespace quillmark
